// whole_folder_test.cpp - guards the whole-folder job: one archive beside the folder holding the whole
// tree (hidden entries and empty folders too); with the delete box, only what the archive holds and
// what did not change goes: files that appear or change while the archive is made survive with their
// folders, link targets outside the tree are never touched, read-only items are not forced; a FIFO
// neither blocks nor goes; the file-system root is refused without writing anything.
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

TEST_F(WholeFolder, ArchiveHoldsTheWholeTree) {
    MakeTree();
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "docs.zip"));
    const auto entries = ReadZip(dir / "docs.zip");
    EXPECT_EQ(entries.at("a.txt").content, "a");
    EXPECT_EQ(entries.at(".hidden").content, "h");
    EXPECT_EQ(entries.at("sub/b.txt").content, "bb");
    EXPECT_EQ(entries.at("sub/deeper/c.txt").content, "ccc");
    EXPECT_TRUE(entries.at("empty/").isFolder());
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

TEST_F(WholeFolder, GrayedDeleteBoxKeepsTheTree) {
    MakeTree();
    window.deleteState = 2;
    Folder(dir / "docs");
    EXPECT_EQ(ReadFile(dir / "docs/sub/deeper/c.txt"), "ccc");
}

TEST_F(WholeFolder, FileAddedWhileArchivingSurvivesWithItsFolders) {
    MakeTree();
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (!enabled) {
            WriteFile(dir / "docs/sub/new-before.txt", "came in as the call started");
        } else {
            WriteFile(dir / "docs/sub/deeper/new-after.txt", "came in as the call ended");
        }
    };
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_EQ(ReadFile(dir / "docs/sub/new-before.txt"), "came in as the call started");
    EXPECT_EQ(ReadFile(dir / "docs/sub/deeper/new-after.txt"), "came in as the call ended");
    // What was there before and was archived is gone; the folders holding newcomers stay.
    EXPECT_FALSE(Exists(dir / "docs/a.txt"));
    EXPECT_FALSE(Exists(dir / "docs/sub/b.txt"));
    EXPECT_FALSE(Exists(dir / "docs/sub/deeper/c.txt"));
    EXPECT_FALSE(Exists(dir / "docs/empty"));
    EXPECT_TRUE(fs::is_directory(dir / "docs/sub/deeper"));
}

TEST_F(WholeFolder, FileChangedAfterArchivingSurvives) {
    MakeTree();
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (enabled) WriteFile(dir / "docs/sub/b.txt", "BB");  // same size, new content
    };
    Folder(dir / "docs");

    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "BB");
    EXPECT_EQ(ReadZip(dir / "docs.zip").at("sub/b.txt").content, "bb");
    EXPECT_FALSE(Exists(dir / "docs/a.txt"));
}

TEST_F(WholeFolder, FileReplacedAfterArchivingSurvives) {
    MakeTree();
    window.deleteState = 1;
    window.onSetEnabled = [&](bool enabled) {
        if (!enabled) return;
        fs::remove(dir / "docs/a.txt");
        WriteFile(dir / "docs/a.txt", "A");  // a different file under the archived name
    };
    Folder(dir / "docs");
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "A");
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

TEST_F(WholeFolder, LinkLoopEnds) {
    MakeTree();
    fs::create_directory_symlink("../..", dir / "docs/sub/loop");
    Folder(dir / "docs");

    const auto entries = ReadZip(dir / "docs.zip");
    EXPECT_TRUE(entries.at("sub/loop").isLink());
    EXPECT_EQ(entries.at("sub/loop").content, "../..");
    EXPECT_EQ(entries.count("sub/loop/a.txt"), 0u);
}

TEST_F(WholeFolder, FifoNeitherBlocksNorGoes) {
    MakeTree();
    ASSERT_EQ(::mkfifo((dir / "docs/sub/pipe").c_str(), 0600), 0);
    window.deleteState = 1;
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_EQ(ReadZip(dir / "docs.zip").count("sub/pipe"), 0u);
    EXPECT_TRUE(fs::is_fifo(dir / "docs/sub/pipe"));
    EXPECT_FALSE(Exists(dir / "docs/a.txt"));
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

TEST_F(WholeFolder, FileSystemRootIsRefused) {
    Folder("/");
    EXPECT_EQ(window.lines, (Lines{"[NG]/"}));
    EXPECT_EQ(ArchiverCalls(), 0);
}

TEST_F(WholeFolder, LinkToRootIsRefused) {
    fs::create_directory_symlink("/", dir / "root-link");
    Folder(dir / "root-link");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "root-link/"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_FALSE(Exists(dir / "root-link.zip"));
}

TEST_F(WholeFolder, DotNamesAreRefused) {
    MakeTree();
    Folder(dir / "docs/sub/..");
    Folder(dir / "docs/.");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/./", "[NG]" + dir / "docs/sub/../"}));
    EXPECT_EQ(ArchiverCalls(), 0);
}

}  // namespace
