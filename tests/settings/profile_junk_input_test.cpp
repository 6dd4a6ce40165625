// profile_junk_input_test.cpp - guards against damaged or strange settings files: binary junk, a huge
// file, lines without '=', very long lines, duplicate keys, and a folder, FIFO or device at the path.
// Whatever cannot be read gives the defaults, nothing crashes or hangs, and a write keeps every byte
// of the file it does not concern (or refuses when it could not read the file).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "profile_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST(ProfileJunkInput, BinaryJunkGivesDefaultsAndSurvivesAWrite) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::string junk = RandomBytes(4096, seed);
        WriteBytes(path, junk);
        EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".zip");
        EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 0);
        ASSERT_TRUE(WriteProfileString("Main", "Delete", "1", path));
        const std::string after = ReadBytes(path);
        ASSERT_TRUE(after.starts_with(junk)) << "seed " << seed << ": junk bytes were changed";
        EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 1);
    }
}

TEST(ProfileJunkInput, ValidSectionAfterJunkIsStillFound) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    WriteBytes(path, RandomBytes(1000, 7) + "\n[Main]\nExtension=.7z\n" + RandomBytes(1000, 8));
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".7z");
}

TEST(ProfileJunkInput, NulBytesDoNotEndTheFile) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    WriteBytes(path, std::string("[Main]\nA=x\0y\n\0\0\nB=2\n", 20));
    EXPECT_EQ(ReadProfileString("Main", "A", "d", path), std::string("x\0y", 3));
    EXPECT_EQ(ReadProfileInt("Main", "B", 0, path), 2);
}

TEST(ProfileJunkInput, OversizedFileGivesDefaultsAndIsNeverRewritten) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    std::string big = "[Main]\nDelete=1\n";
    big.resize(kMaxProfileFileBytes + 1, ';');
    WriteBytes(path, big);
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 0);
    EXPECT_FALSE(WriteProfileString("Main", "Delete", "0", path));
    EXPECT_EQ(fs::file_size(path), kMaxProfileFileBytes + 1);
    EXPECT_EQ(ReadBytes(path).substr(0, 16), "[Main]\nDelete=1\n");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pakuto.ini"});
}

TEST(ProfileJunkInput, LargeFileWithinTheLimitIsReadAndWritten) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    std::string content;
    for (int i = 0; content.size() < 4u << 20; ++i) content += "[S" + std::to_string(i) + "]\nk=v\n";
    content += "[Main]\nDelete=1\n";
    WriteBytes(path, content);
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 1);
    ASSERT_TRUE(WriteProfileString("Main", "Delete", "2", path));
    const std::string after = ReadBytes(path);
    EXPECT_EQ(after.size(), content.size());
    EXPECT_EQ(after.substr(0, content.size() - 2), content.substr(0, content.size() - 2));
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 2);
}

TEST(ProfileJunkInput, LinesWithoutEqualsAreIgnoredAndKept) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    const std::string before = "[Main]\nDelete\nExtension .7z\nDelete 1\n";
    WriteBytes(path, before);
    EXPECT_EQ(ReadProfileString("Main", "Delete", "d", path), "d");
    EXPECT_EQ(ReadProfileString("Main", "Extension", "d", path), "d");
    ASSERT_TRUE(WriteProfileString("Main", "Delete", "0", path));
    EXPECT_EQ(ReadBytes(path), before + "Delete=0\n");
}

TEST(ProfileJunkInput, VeryLongLinesAreReadWhole) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    const std::string long_value(3u << 20, 'v');
    const std::string long_name(1u << 20, 'n');
    WriteBytes(path,
               "[" + long_name + "]\nx=1\n[Main]\nCommandLine=" + long_value + "\n" + long_name + "=2\n");
    EXPECT_EQ(ReadProfileString("Main", "CommandLine", "d", path), long_value);
    EXPECT_EQ(ReadProfileInt(long_name, "x", 0, path), 1);
    EXPECT_EQ(ReadProfileInt("Main", long_name, 0, path), 2);
    ASSERT_TRUE(WriteProfileString("Main", "CommandLine", "short", path));
    EXPECT_EQ(ReadProfileString(long_name, "x", "d", path), "1");
    EXPECT_EQ(ReadProfileString("Main", "CommandLine", "d", path), "short");
}

TEST(ProfileJunkInput, DuplicateKeysFirstWinsAndOnlyItIsReplaced) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    WriteBytes(path, "[Main]\nExtension=.first\nEXTENSION=.second\n");
    EXPECT_EQ(ReadProfileString("Main", "Extension", "d", path), ".first");
    ASSERT_TRUE(WriteProfileString("Main", "Extension", ".new", path));
    EXPECT_EQ(ReadBytes(path), "[Main]\nExtension=.new\nEXTENSION=.second\n");
    EXPECT_EQ(ReadProfileString("Main", "Extension", "d", path), ".new");
}

TEST(ProfileJunkInput, FolderAtThePathGivesDefaultsAndStaysAFolder) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    fs::create_directory(path);
    WriteBytes(path + "/inside", "data");
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".zip");
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 5, path), 5);
    EXPECT_FALSE(WriteProfileString("Main", "Delete", "0", path));
    EXPECT_FALSE(WriteProfileString("Main", std::nullopt, std::nullopt, path));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(ReadBytes(path + "/inside"), "data");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pakuto.ini"});
}

TEST(ProfileJunkInput, FifoOrDeviceAtThePathNeitherBlocksNorIsReplaced) {
    TempFolder folder;
    const std::string fifo = folder.File("pakuto.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", fifo), ".zip");
    EXPECT_FALSE(WriteProfileString("Main", "Delete", "0", fifo));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", "/dev/zero"), ".zip");
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 3, "/dev/urandom"), 3);
}

TEST(ProfileJunkInput, LoneCarriageReturnsAreNotLineBreaks) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    const std::string before = "[Main]\rDelete=1\r";
    WriteBytes(path, before);
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 0);
    ASSERT_TRUE(WriteProfileString("Main", "Delete", "2", path));
    const std::string after = ReadBytes(path);
    EXPECT_TRUE(after.starts_with(before));
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 2);
}

}  // namespace
