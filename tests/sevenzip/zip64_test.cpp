// zip64_test.cpp - guards the ZIP64 boundaries: a file over 4 GiB, an archive whose entries start past
// 4 GiB, and more than 65535 entries must each get exactly the ZIP64 records they need, readable by
// Python's zipfile and unzip; the entries that need none get none. The two cases that write gigabytes
// run only with PAKUTO_TEST_ZIP64=1 in the environment; the 66,000-entry case always runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

constexpr uint64_t kGiB = 1ull << 30;

bool largeTestsWanted() {
    const char* value = std::getenv("PAKUTO_TEST_ZIP64");
    return value != nullptr && std::string(value) == "1";
}

// A sparse file of `size` bytes ending in `tail`; returns the content's CRC-32 computed with zlib.
uint32_t makeSparse(const std::string& path, uint64_t size, const std::string& tail) {
    makeFolder(std::filesystem::path(path).parent_path().string());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    EXPECT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size - tail.size())),
              static_cast<ssize_t>(tail.size()));
    close(fd);
    const std::string zeros(1 << 20, '\0');
    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = size - tail.size();
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(zeros.data()), n);
        left -= n;
    }
    return static_cast<uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(tail.data()), tail.size()));
}

bool hasZip64Field(const ZipEntryReport& entry) {
    return std::find(entry.extraIds.begin(), entry.extraIds.end(), "0001") != entry.extraIds.end();
}

std::string folderCommand(const std::string& prefix, const std::string& archive, const std::string& folder) {
    return prefix + " " + quoted(archive) + " " + quoted(folder + "//") + " \"*.*\" \"-ir!*.*\"";
}

}  // namespace

TEST(Zip64, FileOver4GiB) {
    if (!largeTestsWanted()) GTEST_SKIP() << "set PAKUTO_TEST_ZIP64=1 to run (writes and reads 4 GiB)";
    TempDir dir;
    const uint64_t size = 4 * kGiB + 12345;
    const uint32_t crc = makeSparse(dir / "t/huge.img", size, "the end of a very large file");
    writeFile(dir / "t/small.txt", "small");
    const CallResult result = sevenZip(folderCommand("a -tzip -mx=1", dir / "t.zip", dir / "t"));
    ASSERT_EQ(result.code, 0) << result.output;
    const ZipReport report = readWithPython(dir / "t.zip");
    ASSERT_TRUE(report.readable) << report.problem;
    ASSERT_NE(report.find("huge.img"), nullptr);
    EXPECT_EQ(report.find("huge.img")->size, size);
    EXPECT_EQ(report.find("huge.img")->crc, crc);
    EXPECT_TRUE(hasZip64Field(*report.find("huge.img")));
    EXPECT_EQ(report.find("huge.img")->createSystem, 3u);
    EXPECT_FALSE(hasZip64Field(*report.find("small.txt")));
    EXPECT_TRUE(unzipTestPasses(dir / "t.zip"));
}

TEST(Zip64, EntriesStartingPast4GiB) {
    if (!largeTestsWanted()) GTEST_SKIP() << "set PAKUTO_TEST_ZIP64=1 to run (writes about 5 GiB)";
    TempDir dir;
    const uint64_t size = 1700ull << 20;
    for (const char* name : {"1.img", "2.img", "3.img"})
        makeSparse(dir / ("t/" + std::string(name)), size, name);
    writeFile(dir / "t/z.txt", "after the 4 GiB mark");
    const CallResult result = sevenZip(folderCommand("a -tzip -mx=0", dir / "t.zip", dir / "t"));
    ASSERT_EQ(result.code, 0) << result.output;
    const ZipReport report = readWithPython(dir / "t.zip");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_TRUE(report.zip64End);  // the central directory starts past 4 GiB
    // 3.img starts at 3.3 GiB and ends past 4 GiB: only z.txt, starting past 4 GiB, needs a field.
    for (const char* name : {"1.img", "2.img", "3.img"}) EXPECT_FALSE(hasZip64Field(*report.find(name))) << name;
    EXPECT_TRUE(hasZip64Field(*report.find("z.txt")));
    EXPECT_EQ(report.find("z.txt")->createSystem, 3u);
    EXPECT_EQ(report.find("z.txt")->crc, crcOf("after the 4 GiB mark"));
    EXPECT_TRUE(unzipTestPasses(dir / "t.zip"));
}

TEST(Zip64, MoreThan65535Entries) {
    TempDir dir;
    constexpr int kFolders = 66, kPerFolder = 1000;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = dir / ("t/" + std::to_string(f));
        makeFolder(folder);
        for (int i = 0; i < kPerFolder; ++i) {
            const int fd = open((folder + "/" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(fd, 0);
            close(fd);
        }
    }
    const CallResult result = sevenZip(folderCommand(kPrefix, dir / "t.zip", dir / "t"));
    ASSERT_EQ(result.code, 0) << result.output;
    const ZipReport report = readWithPython(dir / "t.zip");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_EQ(report.entries.size(), static_cast<size_t>(kFolders * kPerFolder + kFolders));
    EXPECT_TRUE(report.zip64End);
    EXPECT_FALSE(hasZip64Field(report.entries.back()));  // the count needs the end record, not the entries
    EXPECT_TRUE(unzipTestPasses(dir / "t.zip"));
    EXPECT_EQ(bsdtarNames(dir / "t.zip").size(), report.entries.size());
}
