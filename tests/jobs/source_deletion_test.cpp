// source_deletion_test.cpp - guards the deletion of sources after a successful archive: only items the
// archive holds under their name and size, and a folder only when it is still the very same one; and
// the reading of an archive's index (compared with Python's zipfile, refused for damaged or missing
// archives). (Deletion through the jobs, with links, newcomers and changed files, is guarded in
// whole_folder_test.cpp and per_file_walk_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "ArchiveIndex.h"
#include "ArchiverCommand.h"
#include "SourceSnapshot.h"
#include "archive_reader.h"
#include "job_fixture.h"

namespace {

using namespace jobs_test;
namespace fs = std::filesystem;

class SourceDeletion : public JobTest {
protected:
    // Makes `archive` of the tree under `base` (ending in '/') with the real library.
    void ArchiveTree(const std::string& archive, const std::string& base) {
        const std::optional<std::string> command = mMain::FolderCommand(prefix, archive, base);
        ASSERT_TRUE(command.has_value());
        ASSERT_EQ(mMain::RunArchiver(window, *command), 0);
    }
};

// The archive is made from another folder: it holds a.txt as t has it, b.txt of another
// size, and nothing of t/sub.
TEST_F(SourceDeletion, OnlyWhatTheArchiveHoldsUnderNameAndSizeGoes) {
    WriteFile(dir / "t/a.txt", "a");
    WriteFile(dir / "t/b.txt", "short");
    WriteFile(dir / "t/sub/c.txt", "c");
    WriteFile(dir / "other/a.txt", "a");
    WriteFile(dir / "other/b.txt", "much longer content");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveTree(dir / "other.zip", dir / "other/");
    const std::optional<mMain::ArchiveIndex> index = mMain::ReadArchiveIndex(dir / "other.zip");
    ASSERT_TRUE(index.has_value());

    EXPECT_EQ(mMain::DeleteArchivedSources(snapshot, *index), 1u);
    EXPECT_FALSE(Exists(dir / "t/a.txt"));
    EXPECT_EQ(ReadFile(dir / "t/b.txt"), "short");
    EXPECT_EQ(ReadFile(dir / "t/sub/c.txt"), "c");
}

TEST_F(SourceDeletion, FolderReplacedByAnotherFolderStays) {
    fs::create_directories(dir / "t/sub");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveTree(dir / "t.zip", dir / "t/");
    fs::rename(dir / "t/sub", dir / "moved");  // the old folder lives on, so its inode is not reused
    fs::create_directory(dir / "t/sub");

    mMain::DeleteArchivedSources(snapshot, *mMain::ReadArchiveIndex(dir / "t.zip"));
    EXPECT_TRUE(fs::is_directory(dir / "t/sub"));
    EXPECT_TRUE(fs::is_directory(dir / "moved"));
}

TEST_F(SourceDeletion, IndexMatchesAnIndependentReader) {
    WriteFile(dir / "t/a.txt", std::string(300000, 'x'));
    WriteFile(dir / "t/sub/b.bin", std::string("\0\1\2", 3));
    fs::create_directories(dir / "t/empty");
    fs::create_symlink("sub/b.bin", dir / "t/link");
    ArchiveTree(dir / "t.zip", dir / "t/");

    const std::optional<mMain::ArchiveIndex> index = mMain::ReadArchiveIndex(dir / "t.zip");
    ASSERT_TRUE(index.has_value());
    const auto entries = ReadZip(dir / "t.zip");
    ASSERT_EQ(index->size(), entries.size());
    for (const auto& [name, entry] : entries) {
        ASSERT_EQ(index->count(name), 1u) << name;
        EXPECT_EQ(index->at(name), entry.size) << name;
    }
    EXPECT_EQ(index->at("link"), std::string("sub/b.bin").size());
}

TEST_F(SourceDeletion, DamagedOrMissingArchiveHasNoIndex) {
    WriteFile(dir / "fake.zip", "PK\3\4 this is not an archive");
    EXPECT_FALSE(mMain::ReadArchiveIndex(dir / "fake.zip").has_value());
    EXPECT_FALSE(mMain::ReadArchiveIndex(dir / "missing.zip").has_value());

    WriteFile(dir / "t/a.txt", "a");
    ArchiveTree(dir / "t.zip", dir / "t/");
    const std::string whole = ReadFile(dir / "t.zip");
    WriteFile(dir / "cut.zip", whole.substr(0, whole.size() - 10));
    EXPECT_FALSE(mMain::ReadArchiveIndex(dir / "cut.zip").has_value());
}

}  // namespace
