// per_file_walk_test.cpp - guards the per-file walk of a folder tree: subfolders first, depth first, in
// name order; every archive in the one destination folder with clashes numbered; hidden and system
// entries skipped (a FIFO is never opened); links archived as links and never followed, so a link
// loop ends; with the delete box only the archived files go (a link, never its target), never a
// folder, never a read-only file, never a file changed meanwhile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "job_fixture.h"

namespace {

using namespace jobs_test;
using Lines = std::vector<std::string>;

class PerFileWalk : public JobTest {};

TEST_F(PerFileWalk, SubfoldersFirstDepthFirstInNameOrderWithClashesNumbered) {
    for (const char* name : {"b.txt", "a.txt", "z/1.txt", "m/2.txt", "m/n/3.txt", "m/0.txt", "m/a.txt"}) {
        WriteFile(dir / "t/docs/" + name, name);
    }
    EachFile(dir / "t/docs/", dir / "t");

    // Newest on top: the reverse of the order of work m/n/3, m/0, m/2, m/a, z/1, a, b.
    EXPECT_EQ(window.lines,
              (Lines{"[OK]" + dir / "t/b.zip", "[OK]" + dir / "t/a (2).zip", "[OK]" + dir / "t/1.zip",
                     "[OK]" + dir / "t/a.zip", "[OK]" + dir / "t/2.zip", "[OK]" + dir / "t/0.zip",
                     "[OK]" + dir / "t/3.zip"}));
    EXPECT_EQ(ReadZip(dir / "t/3.zip").at("3.txt").content, "m/n/3.txt");
    EXPECT_EQ(ReadZip(dir / "t/a.zip").at("a.txt").content, "m/a.txt");
    EXPECT_EQ(ReadZip(dir / "t/a (2).zip").at("a.txt").content, "a.txt");
    EXPECT_TRUE(UnzipTestPasses(dir / "t/a (2).zip"));
}

TEST_F(PerFileWalk, HiddenAndSystemEntriesAreSkipped) {
    WriteFile(dir / "docs/.hidden", "h");
    WriteFile(dir / "docs/.git/config", "g");
    WriteFile(dir / "docs/seen.txt", "s");
    ASSERT_EQ(::mkfifo((dir / "docs/pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "docs/sub");
    ASSERT_EQ(::mkfifo((dir / "docs/sub/pipe2").c_str(), 0600), 0);
    window.deleteState = 1;
    EachFile(dir / "docs", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "seen.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/.hidden"), "h");
    EXPECT_EQ(ReadFile(dir / "docs/.git/config"), "g");
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "docs/pipe"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "docs/sub/pipe2"));
    EXPECT_FALSE(Exists(dir / "docs/seen.txt"));
}

TEST_F(PerFileWalk, FifoOrFolderGivenAsAFileIsRefusedUnopened) {
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    File(dir / "pipe", dir.path());
    File(dir / "folder", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "folder", "[NG]" + dir / "" + "pipe"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));
}

TEST_F(PerFileWalk, LinksAreStoredAsLinksNeverFollowedAndOnlyTheLinkGoes) {
    WriteFile(dir / "outside.txt", "precious");
    WriteFile(dir / "docs/sub/a.txt", "a");
    std::filesystem::create_directory_symlink("..", dir / "docs/sub/up");
    std::filesystem::create_directory_symlink(dir.path(), dir / "docs/root");
    std::filesystem::create_symlink(dir / "outside.txt", dir / "docs/out.txt");
    window.deleteState = 1;
    EachFile(dir / "docs", dir.path());

    // sub/a.txt, sub/up (a link), then docs/out.txt and docs/root (links): no walk through a link.
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "root.zip", "[OK]" + dir / "out.zip",
                                   "[OK]" + dir / "up.zip", "[OK]" + dir / "a.zip"}));
    const auto up = ReadZip(dir / "up.zip");
    ASSERT_EQ(up.size(), 1u);
    EXPECT_TRUE(up.at("up").isLink());
    EXPECT_EQ(up.at("up").content, "..");
    EXPECT_EQ(ReadZip(dir / "out.zip").at("out.txt").content, dir / "outside.txt");
    EXPECT_TRUE(UnzipTestPasses(dir / "root.zip"));
    EXPECT_FALSE(Exists(dir / "docs/out.txt"));
    EXPECT_FALSE(Exists(dir / "docs/root"));
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "precious");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "docs/sub")) << "folders are never deleted";
}

// A grayed box deletes nothing; a checked one deletes the archived files but never a folder, and
// never forces a read-only file or a file in a read-only folder (the "[OK]" line stands).
TEST_F(PerFileWalk, DeleteBoxRemovesOnlyArchivedWritableFiles) {
    WriteFile(dir / "docs/a.txt", "a");
    WriteFile(dir / "docs/sub/b.txt", "b");
    window.deleteState = 2;
    EachFile(dir / "docs", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "a.zip", "[OK]" + dir / "b.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "a");

    WriteFile(dir / "docs/ro.txt", "read only");
    std::filesystem::permissions(dir / "docs/ro.txt", std::filesystem::perms::owner_read);
    WriteFile(dir / "docs/locked/f.txt", "f");
    std::filesystem::permissions(dir / "docs/locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    window.deleteState = 1;
    window.lines.clear();
    EachFile(dir / "docs", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "ro.zip", "[OK]" + dir / "a (2).zip",
                                   "[OK]" + dir / "b (2).zip", "[OK]" + dir / "f.zip"}));
    EXPECT_FALSE(Exists(dir / "docs/a.txt"));
    EXPECT_FALSE(Exists(dir / "docs/sub/b.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "docs/sub"));
    EXPECT_EQ(ReadZip(dir / "b (2).zip").at("b.txt").content, "b");
    EXPECT_EQ(ReadFile(dir / "docs/ro.txt"), "read only");
    EXPECT_EQ(ReadZip(dir / "ro.zip").at("ro.txt").content, "read only");
    EXPECT_EQ(ReadFile(dir / "docs/locked/f.txt"), "f");
}

TEST_F(PerFileWalk, EmptyTreeGivesNoLine) {
    std::filesystem::create_directories(dir / "docs/empty/deeper");
    EachFile(dir / "docs", dir.path());
    EXPECT_TRUE(window.lines.empty());
    EXPECT_EQ(ArchiverCalls(), 0);
}

TEST_F(PerFileWalk, FileChangedDuringTheCallIsKept) {
    WriteFile(dir / "docs/a.txt", "before");
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (enabled) WriteFile(dir / "docs/a.txt", "after!");  // same size, written after the archive
    };
    EachFile(dir / "docs", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "a.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "after!");
    EXPECT_EQ(ReadZip(dir / "a.zip").at("a.txt").content, "before");
}

}  // namespace
