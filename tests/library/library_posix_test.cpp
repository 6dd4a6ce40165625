// library_posix_test.cpp - what the library does with what only POSIX systems have: symbolic links and
// FIFOs met in a walk, modification times set before 1970 or after 2038, permission bits, groups and
// ACLs, a process killed while writing; and sizes at the 32-bit edges, minutes of disk work. Built with
// library_test.cpp into the Linux test program only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

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

// An ACL beyond the permission bits (version 2, then tag, permissions and id of each entry): user::rw-,
// user:4321:---, group::r--, mask::r--, other::r--. User 4321 is denied what the bits grant.
const std::string kDenyUser4321(
    "\x02\0\0\0\x01\0\x06\0\xff\xff\xff\xff\x02\0\0\0\xe1\x10\0\0\x04\0\x04\0\xff\xff\xff\xff"
    "\x10\0\x04\0\xff\xff\xff\xff\x20\0\x04\0\xff\xff\xff\xff",
    44);

// An archive is readable by nobody who could not read what it holds where it stands: the entries' bits
// and group, the folders on the way to them (a link's target's too), access rules beyond the bits. A
// class that may not read may not write either; the umask still applies.
TEST(Library, ArchiveKeepsItsSourcesPrivate) {
    struct PrivacyRow {
        const char* what;
        mode_t umask;
        std::function<void(const Tree&)> setup;
        const char* operands;
        mode_t mode;
    };
    const PrivacyRow rows[] = {
        {"public", 022, [](const Tree&) {}, "-ir!*", 0644},
        {"a private file", 022, [](const Tree& t) { chmod((t.S + "/sub/z.txt").c_str(), 0600); }, "-ir!*",
         0600},
        {"a private folder", 022, [](const Tree& t) { chmod((t.S + "/sub").c_str(), 0700); }, "sub/z.txt",
         0600},
        {"a link into a private folder", 022,
         [](const Tree& t) {
             ts::MakeDir(t.dir / "priv", 0700);
             ts::WriteFile(t.dir / "priv/f.txt", "f");
             symlink((t.dir / "priv/f.txt").c_str(), (t.S + "/l.txt").c_str());
         },
         "l.txt", 0600},
        {"another group", 022, [](const Tree& t) { chown((t.S + "/x.txt").c_str(), ~0u, 4000); }, "x.txt",
         0604},
        {"an ACL", 022,
         [](const Tree& t) {
             const std::string& acl = kDenyUser4321;
             ASSERT_EQ(
                 setxattr((t.S + "/x.txt").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
         },
         "x.txt", 0600},
        {"a private file, no umask", 0, [](const Tree& t) { chmod((t.S + "/x.txt").c_str(), 0600); }, "x.txt",
         0600},
    };
    for (const PrivacyRow& row : rows) {
        SCOPED_TRACE(row.what);
        Tree t;
        row.setup(t);
        const mode_t mask = umask(row.umask);
        EXPECT_EQ(Zip(t.Prefix() + row.operands), SEVENZIP_OK);
        umask(mask);
        struct stat st {};
        EXPECT_TRUE(stat(t.A.c_str(), &st) == 0 && (st.st_mode & 0777) == row.mode) << std::oct << st.st_mode;
    }
}

// A run killed while writing leaves its sources and at most its temporary file; a later run over the
// same folder neither stores nor trips over that leftover.
TEST(Library, KilledRunLeavesOnlyItsTemporaryFile) {
    Tree t;
    ts::WriteFile(t.S + "/big.bin", std::string(3 << 20, 'B'));
    const std::string inner = t.S + "/A.zip";
    const int killed = ts::InChild([&] {
        ts::ArmWriteFault(ts::WriteFault::Exit);
        return Zip("a -tzip -mx=0 \"" + inner + "\" \"" + t.S + "/\" big.bin");
    });
    EXPECT_EQ(killed, 9);
    std::vector<std::string> leftovers;
    for (const std::string& name : ts::Tree(t.S))
        if (name.find("pakuto-tmp") != std::string::npos) leftovers.push_back(name);
    ASSERT_EQ(leftovers.size(), 1u);
    EXPECT_FALSE(ts::Exists(inner));
    EXPECT_EQ(ts::ReadFile(t.S + "/big.bin"), std::string(3 << 20, 'B'));
    // The next run into the same folder stores every look-alike of its temporary files: a name merely
    // like theirs, a folder of their exact shape.
    const std::string mark = ".A.zip.pakuto-tmp\xE2\x8C\x9B";
    ts::WriteFile(t.S + "/" + mark + "my notes.txt", "look-alike");
    ts::MakeDir(t.S + "/" + mark + "abc123");
    std::vector<std::string> expected = ts::Tree(t.S);
    std::erase(expected, leftovers[0]);  // the leftover alone is left out
    EXPECT_EQ(Zip("a -tzip -mx=0 \"" + inner + "\" \"" + t.S + "/\" -ir!*"), SEVENZIP_OK);
    const ts::ZipReport zip = ts::ReadZip(inner);
    EXPECT_EQ(zip.Names(), expected);
    EXPECT_TRUE(zip.Find("big.bin") != nullptr && zip.Find("big.bin")->method == 0) << "-mx=0 stores";
}

// Sizes at the 32-bit edges, stored and compressed, each followed by another entry: the archive is
// made, and every reader takes it. The data are zeros in sparse files, except for the file just under
// 4 GiB that DEFLATE makes larger than 4 GiB.
TEST(Library, Heavy4GiBEdgesReadBackEverywhere) {
    struct EdgeRow {
        const char* switches;
        uint64_t size;
        bool noise;
    };
    const EdgeRow rows[] = {
        {"-mx=0", 0xFFFFFFFEull, false}, {"-mx=0", 0xFFFFFFFFull, false}, {"-mx=0", 0x100000000ull, false},
        {"-mx=1", 0xFFFFFFFFull, false}, {"-mx=9", 4294800000ull, true},
    };
    for (const EdgeRow& row : rows) {
        SCOPED_TRACE(std::string(row.switches) + " " + std::to_string(row.size));
        Tree t;
        if (!ts::MakeBigFile(t.S + "/big.bin", row.size, row.noise))
            GTEST_SKIP() << "the file system here cannot hold a " << row.size << "-byte file and its archive";
        ASSERT_EQ(Zip(t.Prefix(row.switches) + "big.bin x.txt"), SEVENZIP_OK);
        std::remove((t.S + "/big.bin").c_str());
        const ts::ZipReport zip = ts::ReadZip(t.A);
        EXPECT_TRUE(zip.ok);  // every CRC checked
        ASSERT_EQ(zip.Names(), (std::vector<std::string>{"big.bin", "x.txt"}));
        EXPECT_EQ(zip.Find("big.bin")->size, row.size);
        EXPECT_EQ(zip.Find("big.bin")->method, std::string(row.switches) == "-mx=0" ? 0 : 8);
        EXPECT_EQ(zip.Find("x.txt")->content, "data of x.txt");
        EXPECT_TRUE(ts::UnzipTests(t.A, "x.txt") && ts::BsdtarLists(t.A));
    }
}

}  // namespace
