// library_posix_test.cpp - what the library does with what only POSIX systems have: symbolic links and
// FIFOs met in a walk, modification times set before 1970 or after 2038, permission bits, a process
// killed while writing. Built with library_test.cpp into the Linux test program only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "library_tree.h"
#include "support.h"
#include "write_fault.h"

namespace {

using Tree = ts::LibraryTree;
using ts::Zip;

// A walk stores links as links (never followed, even to folders or nowhere), never opens a FIFO, and
// a FIFO named directly is an error.
TEST(Library, WalkNeverOpensOrFollows) {
    Tree t;
    mkfifo((t.S + "/pipe").c_str(), 0666);
    symlink("sub", (t.S + "/tosub").c_str());
    symlink("nowhere", (t.S + "/dangling").c_str());
    symlink("x.txt", (t.S + "/alink").c_str());
    symlink("/etc", (t.S + "/etclink").c_str());
    ts::WriteFile(t.S + "/.notes.pakuto-tmp-abc123", "mine");
    EXPECT_EQ(ts::InChild([&] { return Zip(t.Prefix() + "-ir!*"); }), SEVENZIP_OK);
    const ts::ZipReport zip = ts::ReadZip(t.A);
    EXPECT_TRUE(zip.ok);
    EXPECT_EQ(zip.Find("pipe"), nullptr);
    EXPECT_EQ(zip.Find("tosub/z.txt"), nullptr);
    for (const auto& [link, target] : {std::pair{"tosub", "sub"}, std::pair{"dangling", "nowhere"}}) {
        const ts::ZipEntry* e = zip.Find(link);
        ASSERT_NE(e, nullptr) << link;
        EXPECT_TRUE(S_ISLNK(e->mode)) << link;
        EXPECT_EQ(e->content, target);
    }
    EXPECT_TRUE(zip.Find("sub/z.txt") != nullptr && zip.Find("x.txt") != nullptr);
    EXPECT_EQ(zip.Find("etclink/hostname"), nullptr);
    ASSERT_NE(zip.Find("alink"), nullptr);
    EXPECT_TRUE(S_ISREG(zip.Find("alink")->mode) && zip.Find("alink")->content == "data of x.txt");
    ASSERT_NE(zip.Find(".notes.pakuto-tmp-abc123"), nullptr);
    Tree v;
    symlink("/etc", (v.S + "/etclink").c_str());
    EXPECT_GT(Zip(v.Prefix() + "etclink/hostname"), 0);
    EXPECT_TRUE(v.OutHolds(false));
    Tree u;
    mkfifo((u.S + "/pipe").c_str(), 0666);
    EXPECT_GT(ts::InChild([&] { return Zip(u.Prefix() + "pipe"); }), 0);
    EXPECT_TRUE(u.OutHolds(false));
}

// Times read back as they were set: the extended-time field only where it holds the time exactly (as
// an unsigned or a signed 32-bit count), the DOS time clamped to its range.
TEST(Library, TimesReadBackAsSet) {
    struct TimeRow {
        time_t mtime;
        int dosYear;
        int64_t unixTime;
    };
    const TimeRow rows[] = {
        {1000000000, 2001, 1000000000},
        {-60, 1980, -1},         // 1969-12-31 23:59 UTC
        {2222222222, 2040, -1},  // June 2040
    };
    for (const TimeRow& row : rows) {
        SCOPED_TRACE(row.mtime);
        Tree t;
        const timespec times[2] = {{row.mtime, 0}, {row.mtime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (t.S + "/x.txt").c_str(), times, 0), 0);
        ASSERT_EQ(Zip(t.Prefix() + "x.txt"), SEVENZIP_OK);
        const ts::ZipReport zip = ts::ReadZip(t.A);
        ASSERT_EQ(zip.entries.size(), 1u);
        EXPECT_EQ(zip.entries[0].dosYear, row.dosYear);
        EXPECT_EQ(zip.entries[0].unixTime, row.unixTime);
    }
}

// An archive is readable by nobody who could not read what it holds.
TEST(Library, ArchiveKeepsItsSourcesPrivate) {
    for (const bool secret : {false, true}) {
        Tree t;
        if (secret) chmod((t.S + "/sub/z.txt").c_str(), 0600);
        ASSERT_EQ(Zip(t.Prefix() + "-ir!*"), SEVENZIP_OK);
        struct stat st {};
        ASSERT_EQ(stat(t.A.c_str(), &st), 0);
        EXPECT_EQ((st.st_mode & 0044) == 0, secret) << std::oct << st.st_mode;
    }
}

// A run killed while writing leaves its sources and at most its temporary file; a later run over the
// same folder neither stores nor trips over that leftover.
TEST(Library, KilledRunLeavesOnlyItsTemporaryFile) {
    Tree t;
    ts::WriteFile(t.S + "/big.bin", std::string(3 << 20, 'B'));
    const std::vector<std::string> before = ts::Tree(t.S);
    const std::string inner = t.S + "/A.zip";
    const int killed = ts::InChild([&] {
        ts::ArmWriteFault(ts::WriteFault::Exit);
        return Zip("a -tzip -mx=0 \"" + inner + "\" \"" + t.S + "/\" big.bin");
    });
    EXPECT_EQ(killed, 9);
    std::vector<std::string> leftovers;
    for (const std::string& name : ts::Tree(t.S))
        if (name.find("pakuto-tmp") != std::string::npos) leftovers.push_back(name);
    EXPECT_EQ(leftovers.size(), 1u);
    EXPECT_FALSE(ts::Exists(inner));
    EXPECT_EQ(ts::ReadFile(t.S + "/big.bin"), std::string(3 << 20, 'B'));
    EXPECT_EQ(Zip(t.Prefix() + "-ir!*"), SEVENZIP_OK);
    EXPECT_EQ(ts::ReadZip(t.A).Names(), before);
}

}  // namespace
