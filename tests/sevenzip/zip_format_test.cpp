// zip_format_test.cpp - guards the container's details that readers depend on: no ZIP64 record or field
// where nothing needs one, the UTF-8 flag exactly on non-ASCII UTF-8 names, Unix as the system of
// origin with the type and permission bits, folder entries, and the modification time in both the DOS
// field and the extended-timestamp field.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <ctime>

#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

constexpr unsigned kUtf8Flag = 1u << 11;

ZipReport archiveOf(const TempDir& dir, const std::string& folder) {
    const std::string archive = dir / (folder + ".zip");
    const CallResult result = sevenZip(kPrefix + " " + quoted(archive) + " " + quoted(dir / (folder + "//")) +
                                       " \"*.*\" \"-ir!*.*\"");
    EXPECT_EQ(result.code, 0) << result.output;
    return readWithPython(archive);
}

bool hasExtra(const ZipEntryReport& entry, const std::string& id) {
    return std::find(entry.extraIds.begin(), entry.extraIds.end(), id) != entry.extraIds.end();
}

}  // namespace

TEST(ZipFormat, SmallArchivesHaveNoZip64AnythingAndUnixOrigin) {
    TempDir dir;
    writeFile(dir / "t/empty", "");
    writeFile(dir / "t/text.txt", textBytes(100000));
    writeFile(dir / "t/noise.bin", randomBytes(5000, 9));
    makeFolder(dir / "t/folder");
    const ZipReport report = archiveOf(dir, "t");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_FALSE(report.zip64End);
    ASSERT_EQ(report.entries.size(), 4u);
    for (const ZipEntryReport& entry : report.entries) {
        EXPECT_FALSE(hasExtra(entry, "0001")) << entry.name;
        EXPECT_TRUE(hasExtra(entry, "5455")) << entry.name;
        EXPECT_EQ(entry.createSystem, 3u) << entry.name;
    }
}

TEST(ZipFormat, Utf8FlagOnlyOnNonAsciiUtf8Names) {
    TempDir dir;
    writeFile(dir / "t/plain.txt", "a");
    writeFile(dir / "t/日本語.txt", "b");
    writeFile(dir / "t/caf\xe9.txt", "c");           // Latin-1 byte: not UTF-8
    writeFile(dir / "t/over\xc0\xaflong.txt", "d");  // an overlong '/' is not valid UTF-8 either
    const ZipReport report = archiveOf(dir, "t");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_EQ(report.find("plain.txt")->flags & kUtf8Flag, 0u);
    EXPECT_EQ(report.find("日本語.txt")->flags & kUtf8Flag, kUtf8Flag);
    EXPECT_EQ(report.find("caf\xe9.txt")->flags & kUtf8Flag, 0u);
    EXPECT_EQ(report.find("over\xc0\xaflong.txt")->flags & kUtf8Flag, 0u);
}

TEST(ZipFormat, UnixModeAndFolderEntries) {
    TempDir dir;
    writeFile(dir / "t/run.sh", "#!/bin/sh\n");
    writeFile(dir / "t/private", "p");
    makeFolder(dir / "t/dir");
    ASSERT_EQ(chmod((dir / "t/run.sh").c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "t/private").c_str(), 0600), 0);
    ASSERT_EQ(chmod((dir / "t/dir").c_str(), 0750), 0);
    const ZipReport report = archiveOf(dir, "t");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_EQ(report.find("run.sh")->externalAttr >> 16, 0100755u);
    EXPECT_EQ(report.find("private")->externalAttr >> 16, 0100600u);
    const ZipEntryReport* folder = report.find("dir/");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->externalAttr >> 16, 040750u);
    EXPECT_EQ(folder->externalAttr & 0x10, 0x10u);  // the MS-DOS folder bit, for readers that look there
    EXPECT_EQ(folder->size, 0u);
    // zipinfo shows each entry's mode as ls does, and "unx" as its system of origin.
    const ProcessResult listing = runProcess({PAKUTO_TEST_ZIPINFO, dir / "t.zip"});
    EXPECT_NE(listing.out.find("-rwxr-xr-x  2.0 unx"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("-rw-------  2.0 unx"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("drwxr-x---  2.0 unx"), std::string::npos) << listing.out;
}

TEST(ZipFormat, ModificationTimeInDosFieldAndExtendedTimestamp) {
    TempDir dir;
    writeFile(dir / "t/old.txt", "old");
    writeFile(dir / "t/ancient.txt", "older than DOS dates");
    struct tm when {};
    when.tm_year = 2021 - 1900, when.tm_mon = 6, when.tm_mday = 15, when.tm_hour = 13, when.tm_min = 45,
    when.tm_sec = 31;
    when.tm_isdst = -1;
    const time_t stamp = mktime(&when);
    const utimbuf times{stamp, stamp};
    ASSERT_EQ(utime((dir / "t/old.txt").c_str(), &times), 0);
    const utimbuf early{86400 * 365, 86400 * 365};  // 1971
    ASSERT_EQ(utime((dir / "t/ancient.txt").c_str(), &early), 0);
    const ZipReport report = archiveOf(dir, "t");
    ASSERT_TRUE(report.readable) << report.problem;
    EXPECT_EQ(report.find("old.txt")->utMtime, std::to_string(stamp));
    EXPECT_EQ(report.find("old.txt")->dosTime, "2021-7-15-13-45-30");  // DOS time counts in 2-second steps
    EXPECT_EQ(report.find("ancient.txt")->utMtime, std::to_string(86400 * 365));
    EXPECT_EQ(report.find("ancient.txt")->dosTime, "1980-1-1-0-0-0");  // clamped to the field's start
}

TEST(ZipFormat, EmptyFileIsAnEmptyEntry) {
    TempDir dir;
    writeFile(dir / "t/zero", "");
    const ZipReport report = archiveOf(dir, "t");
    ASSERT_TRUE(report.readable) << report.problem;
    ASSERT_NE(report.find("zero"), nullptr);
    EXPECT_EQ(report.find("zero")->size, 0u);
    EXPECT_TRUE(unzipTestPasses(dir / "t.zip"));
}
