// source_deletion_test.cpp - guards the deletion of sources after a successful archive: only items the
// archive holds under their name and size, only when still the very same item, links never followed,
// folders only when left empty; and the reading of an archive's index (compared with Python's
// zipfile, refused for damaged or missing archives).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
    // Makes `archive` holding `name` from folder `source` (ending in '/') with the real library.
    void ArchiveOne(const std::string& archive, const std::string& source, const std::string& name) {
        const std::optional<std::string> command = mMain::FileCommand(prefix, archive, source, name);
        ASSERT_TRUE(command.has_value());
        ASSERT_EQ(mMain::RunArchiver(window, *command), 0);
    }
    void ArchiveTree(const std::string& archive, const std::string& base) {
        const std::optional<std::string> command = mMain::FolderCommand(prefix, archive, base);
        ASSERT_TRUE(command.has_value());
        ASSERT_EQ(mMain::RunArchiver(window, *command), 0);
    }
};

TEST_F(SourceDeletion, OnlyWhatTheArchiveHoldsGoes) {
    WriteFile(dir / "t/a.txt", "a");
    WriteFile(dir / "t/b.txt", "b");
    WriteFile(dir / "t/sub/c.txt", "c");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveOne(dir / "one.zip", dir / "t/", "a.txt");
    const std::optional<mMain::ArchiveIndex> index = mMain::ReadArchiveIndex(dir / "one.zip");
    ASSERT_TRUE(index.has_value());

    EXPECT_EQ(mMain::DeleteArchivedSources(snapshot, *index), 1u);
    EXPECT_FALSE(Exists(dir / "t/a.txt"));
    EXPECT_EQ(ReadFile(dir / "t/b.txt"), "b");
    EXPECT_EQ(ReadFile(dir / "t/sub/c.txt"), "c");
}

TEST_F(SourceDeletion, SameNameOfAnotherSizeStays) {
    WriteFile(dir / "t/a.txt", "short");
    WriteFile(dir / "other/a.txt", "much longer content");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveOne(dir / "other.zip", dir / "other/", "a.txt");

    EXPECT_EQ(mMain::DeleteArchivedSources(snapshot, *mMain::ReadArchiveIndex(dir / "other.zip")), 0u);
    EXPECT_EQ(ReadFile(dir / "t/a.txt"), "short");
    EXPECT_TRUE(fs::is_directory(dir / "t"));
}

TEST_F(SourceDeletion, WholeTreeGoesAndFoldersWhenEmpty) {
    WriteFile(dir / "t/a.txt", "a");
    WriteFile(dir / "t/sub/deeper/c.txt", "c");
    fs::create_symlink("a.txt", dir / "t/link");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveTree(dir / "t.zip", dir / "t/");

    // a.txt, c.txt, link, then deeper, sub and t itself.
    EXPECT_EQ(mMain::DeleteArchivedSources(snapshot, *mMain::ReadArchiveIndex(dir / "t.zip")), 6u);
    EXPECT_FALSE(Exists(dir / "t"));
}

TEST_F(SourceDeletion, SnapshotNeverEntersLinksAndListsFoldersFirst) {
    WriteFile(dir / "t/z.txt", "z");
    WriteFile(dir / "t/a/b.txt", "b");
    fs::create_directory_symlink("..", dir / "t/a/up");
    ASSERT_EQ(::mkfifo((dir / "t/pipe").c_str(), 0600), 0);
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t/");

    std::vector<std::string> names;
    std::vector<mMain::EntryType> types;
    for (const mMain::SourceEntry& entry : snapshot.entries) {
        names.push_back(entry.name);
        types.push_back(entry.type);
    }
    using T = mMain::EntryType;
    EXPECT_EQ(names, (std::vector<std::string>{"", "a", "a/b.txt", "a/up", "pipe", "z.txt"}));
    EXPECT_EQ(types, (std::vector<T>{T::Folder, T::Folder, T::File, T::Link, T::Other, T::File}));
    EXPECT_EQ(snapshot.root, dir.path() + "/t");
}

TEST_F(SourceDeletion, NonEmptyFolderStaysAndNothingOutsideIsTouched) {
    WriteFile(dir / "t/a.txt", "a");
    WriteFile(dir / "keep/a.txt", "a");
    const mMain::SourceSnapshot snapshot = mMain::SnapshotTree(dir / "t");
    ArchiveTree(dir / "t.zip", dir / "t/");
    WriteFile(dir / "t/late.txt", "late");

    EXPECT_EQ(mMain::DeleteArchivedSources(snapshot, *mMain::ReadArchiveIndex(dir / "t.zip")), 1u);
    EXPECT_EQ(ReadFile(dir / "t/late.txt"), "late");
    EXPECT_EQ(ReadFile(dir / "keep/a.txt"), "a");
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

TEST_F(SourceDeletion, ReadOnlyRule) {
    EXPECT_TRUE(mMain::IsReadOnly(S_IFREG | 0444));
    EXPECT_TRUE(mMain::IsReadOnly(S_IFDIR | 0555));
    EXPECT_FALSE(mMain::IsReadOnly(S_IFREG | 0644));
    EXPECT_FALSE(mMain::IsReadOnly(S_IFREG | 0464));
    EXPECT_FALSE(mMain::IsReadOnly(S_IFREG | 0446));
}

}  // namespace
