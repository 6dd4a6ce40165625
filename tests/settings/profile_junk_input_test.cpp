// profile_junk_input_test.cpp - guards against damaged or strange settings files: binary junk, a huge
// file, very long lines and names, and a folder, FIFO or device at the path. Whatever cannot be read
// gives the defaults, nothing crashes or hangs, and a write keeps every byte of the file it does not
// concern (or refuses when it could not read the file).
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
        EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".zip") << "seed " << seed;
        EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 0) << "seed " << seed;
        ASSERT_TRUE(WriteProfileString("Main", "Delete", "1", path));
        EXPECT_TRUE(ReadBytes(path).starts_with(junk)) << "seed " << seed << ": junk bytes were changed";
        EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 1) << "seed " << seed;
    }
    WriteBytes(path, RandomBytes(1000, 7) + "\n[Main]\nExtension=.7z\n" + RandomBytes(1000, 8));
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".7z") << "a section after junk";
}

TEST(ProfileJunkInput, OversizedFileGivesDefaultsAndIsNeverRewritten) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    std::string big = "[Main]\nDelete=1\n";
    big.resize(kMaxProfileFileBytes + 1, ';');
    WriteBytes(path, big);
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 0, path), 0);
    EXPECT_FALSE(WriteProfileString("Main", "Delete", "0", path));
    EXPECT_EQ(ReadBytes(path), big);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pakuto.ini"});
}

// The file (5 MiB, within the size limit) is also read and rewritten whole.
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
    EXPECT_EQ(ReadBytes(path), "[" + long_name + "]\nx=1\n[Main]\nCommandLine=short\n" + long_name + "=2\n");
}

TEST(ProfileJunkInput, FolderOrFifoAtThePathGivesDefaultsNeverBlocksAndStays) {
    for (const bool fifo : {false, true}) {
        TempFolder folder;
        const std::string path = folder.File("pakuto.ini");
        if (fifo) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            fs::create_directory(path);
            WriteBytes(path + "/inside", "data");
        }
        EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", path), ".zip") << "fifo: " << fifo;
        EXPECT_EQ(ReadProfileInt("Main", "Delete", 5, path), 5) << "fifo: " << fifo;
        EXPECT_FALSE(WriteProfileString("Main", "Delete", "0", path)) << "fifo: " << fifo;
        EXPECT_FALSE(WriteProfileString("Main", std::nullopt, std::nullopt, path)) << "fifo: " << fifo;
        EXPECT_TRUE(fifo ? fs::is_fifo(path) : ReadBytes(path + "/inside") == "data") << "fifo: " << fifo;
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pakuto.ini"}) << "fifo: " << fifo;
    }
    EXPECT_EQ(ReadProfileString("Main", "Extension", ".zip", "/dev/zero"), ".zip");
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 3, "/dev/urandom"), 3);
}

}  // namespace
