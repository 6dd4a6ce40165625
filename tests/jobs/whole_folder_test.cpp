// whole_folder_test.cpp - guards the whole-folder job: one archive beside the folder holding the whole
// tree (hidden entries and empty folders too); with the delete box, only what the archive holds and
// what did not change goes: files that appear or change while the archive is made survive with their
// folders, link targets outside the tree are never touched, read-only items are not forced; the
// file-system root is refused without writing anything. (Link loops, FIFOs and sockets in a dropped
// tree are guarded in tests/faults.)
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
namespace fs = std::filesystem;

class WholeFolder : public JobTest {
protected:
    void MakeTree() {
        WriteFile(dir / "docs/a.txt", "a");
        WriteFile(dir / "docs/.hidden", "h");
        WriteFile(dir / "docs/sub/b.txt", "bb");
        WriteFile(dir / "docs/sub/deeper/c.txt", "ccc");
        fs::create_directories(dir / "docs/empty");
    }
};

// Also: a grayed delete box deletes nothing, and a second archive is numbered.
TEST_F(WholeFolder, ArchiveHoldsTheWholeTree) {
    MakeTree();
    window.deleteState = 2;
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "docs.zip"));
    const auto entries = ReadZip(dir / "docs.zip");
    EXPECT_EQ(entries.at("a.txt").content, "a");
    EXPECT_EQ(entries.at(".hidden").content, "h");
    EXPECT_EQ(entries.at("sub/b.txt").content, "bb");
    EXPECT_EQ(entries.at("sub/deeper/c.txt").content, "ccc");
    EXPECT_TRUE(entries.at("empty/").isFolder());
    Folder(dir / "docs");
    EXPECT_EQ(window.lines.front(), "[OK]" + dir / "docs (2).zip");
    EXPECT_EQ(ReadFile(dir / "docs/sub/deeper/c.txt"), "ccc");
}

TEST_F(WholeFolder, DeleteFlagRemovesTheTreeAfterSuccess) {
    MakeTree();
    window.deleteState = 1;
    bool treeThereDuringCall = false;
    window.onSetEnabled = [&](bool enabled) {
        if (!enabled) treeThereDuringCall = Exists(dir / "docs/sub/deeper/c.txt");
    };
    Folder(dir / "docs/");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_TRUE(treeThereDuringCall);
    EXPECT_FALSE(Exists(dir / "docs"));
    EXPECT_EQ(ReadZip(dir / "docs.zip").at("sub/deeper/c.txt").content, "ccc");
}

// Files that come in as the call starts or ends, and files changed or replaced after they were
// archived, survive with their folders; only what was archived and is unchanged goes.
TEST_F(WholeFolder, FilesAddedOrChangedWhileArchivingSurvive) {
    MakeTree();
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (!enabled) {
            WriteFile(dir / "docs/sub/new-before.txt", "came in as the call started");
            return;
        }
        WriteFile(dir / "docs/sub/deeper/new-after.txt", "came in as the call ended");
        WriteFile(dir / "docs/sub/b.txt", "BB");  // same size, new content
        fs::remove(dir / "docs/a.txt");
        WriteFile(dir / "docs/a.txt", "A");  // a different file under the archived name
    };
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/sub/new-before.txt"), "came in as the call started");
    EXPECT_EQ(ReadFile(dir / "docs/sub/deeper/new-after.txt"), "came in as the call ended");
    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "BB");
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "A");
    EXPECT_EQ(ReadZip(dir / "docs.zip").at("sub/b.txt").content, "bb");
    EXPECT_FALSE(Exists(dir / "docs/.hidden"));
    EXPECT_FALSE(Exists(dir / "docs/sub/deeper/c.txt"));
    EXPECT_FALSE(Exists(dir / "docs/empty"));
}

TEST_F(WholeFolder, FileRemovedByOthersMeanwhileIsNoFailure) {
    MakeTree();
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (enabled) fs::remove_all(dir / "docs/sub");
    };
    Folder(dir / "docs");
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_FALSE(Exists(dir / "docs"));
}

TEST_F(WholeFolder, LinkTargetOutsideTheTreeIsNeverTouched) {
    MakeTree();
    WriteFile(dir / "outside/keep.txt", "precious");
    fs::create_symlink(dir / "outside/keep.txt", dir / "docs/file-link");
    fs::create_directory_symlink(dir / "outside", dir / "docs/folder-link");
    window.deleteState = 1;
    Folder(dir / "docs");

    const auto entries = ReadZip(dir / "docs.zip");
    EXPECT_TRUE(entries.at("file-link").isLink());
    EXPECT_TRUE(entries.at("folder-link").isLink());
    EXPECT_EQ(entries.count("folder-link/keep.txt"), 0u);
    EXPECT_EQ(ReadFile(dir / "outside/keep.txt"), "precious");
    EXPECT_FALSE(Exists(dir / "docs"));
}

TEST_F(WholeFolder, ReadOnlyItemsAreNotForced) {
    MakeTree();
    fs::permissions(dir / "docs/sub/b.txt", fs::perms::owner_read);
    window.deleteState = 1;
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "bb");
    EXPECT_FALSE(Exists(dir / "docs/sub/deeper"));
    EXPECT_FALSE(Exists(dir / "docs/a.txt"));
}

// The file-system root, a link to it, and "." or ".." as the last name are refused unarchived.
TEST_F(WholeFolder, RootAndDotNamesAreRefused) {
    MakeTree();
    fs::create_directory_symlink("/", dir / "root-link");
    for (const std::string& folder :
         {std::string("/"), dir / "root-link", dir / "docs/sub/..", dir / "docs/."}) {
        window.lines.clear();
        Folder(folder);
        EXPECT_EQ(window.lines, (Lines{"[NG]" + folder + (folder == "/" ? "" : "/")})) << folder;
    }
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_FALSE(Exists(dir / "root-link.zip"));
}

}  // namespace
