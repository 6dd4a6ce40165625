// archive_naming_test.cpp - guards where archives land and what they are called: beside the source,
// numbered " (2)", " (3)" instead of overwriting, the extension appended as typed (with or without a
// dot, or empty), names with spaces, a source that is itself an archive; and that each archive holds
// exactly the source under its own name, read back by independent readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "job_fixture.h"

namespace {

using namespace jobs_test;
using Lines = std::vector<std::string>;

class ArchiveNaming : public JobTest {};

TEST_F(ArchiveNaming, SingleFileBesideItself) {
    WriteFile(dir / "a.txt", "alpha\n");
    File(dir / "a.txt", dir.path());

    ASSERT_EQ(window.lines, (Lines{"[OK]" + dir / "a.zip"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "a.zip"));
    const auto entries = ReadZip(dir / "a.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at("a.txt").content, "alpha\n");
    EXPECT_EQ(ReadFile(dir / "a.txt"), "alpha\n");
}

TEST_F(ArchiveNaming, TwiceAndThreeTimesAreNumbered) {
    WriteFile(dir / "a.txt", "alpha\n");
    File(dir / "a.txt", dir.path());
    File(dir / "a.txt", dir.path() + "/");
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.lines,
              (Lines{"[OK]" + dir / "a (3).zip", "[OK]" + dir / "a (2).zip", "[OK]" + dir / "a.zip"}));
    for (const char* name : {"a.zip", "a (2).zip", "a (3).zip"}) {
        EXPECT_TRUE(UnzipTestPasses(dir / name)) << name;
        EXPECT_EQ(ReadZip(dir / name).at("a.txt").content, "alpha\n") << name;
    }
}

TEST_F(ArchiveNaming, ExistingArchiveIsNeverOverwritten) {
    WriteFile(dir / "a.txt", "new\n");
    WriteFile(dir / "a.zip", "not an archive, and precious");
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "a (2).zip"}));
    EXPECT_EQ(ReadFile(dir / "a.zip"), "not an archive, and precious");
    EXPECT_EQ(ReadZip(dir / "a (2).zip").at("a.txt").content, "new\n");
}

TEST_F(ArchiveNaming, SourceArchiveIsNotItsOwnTarget) {
    WriteFile(dir / "a.zip", "source bytes");
    File(dir / "a.zip", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "a (2).zip"}));
    EXPECT_EQ(ReadFile(dir / "a.zip"), "source bytes");
    EXPECT_EQ(ReadZip(dir / "a (2).zip").at("a.zip").content, "source bytes");
}

TEST_F(ArchiveNaming, OnlyTheLastExtensionIsReplaced) {
    WriteFile(dir / "a.tar.gz", "tarball");
    File(dir / "a.tar.gz", dir.path());
    window.extension = "zip";
    File(dir / "a.tar.gz", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "a.tarzip", "[OK]" + dir / "a.tar.zip"}));
    EXPECT_EQ(ZipNames(dir / "a.tar.zip"), (Lines{"a.tar.gz"}));
    EXPECT_EQ(ZipNames(dir / "a.tarzip"), (Lines{"a.tar.gz"}));
}

TEST_F(ArchiveNaming, OtherExtensionStillMakesZip) {
    window.extension = ".7z";
    WriteFile(dir / "b.txt", "b");
    File(dir / "b.txt", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "b.7z"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "b.7z"));
}

TEST_F(ArchiveNaming, EmptyExtensionGivesBareBaseName) {
    window.extension = "";
    WriteFile(dir / "c.txt", "c");
    File(dir / "c.txt", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "c"}));
    EXPECT_EQ(ReadZip(dir / "c").at("c.txt").content, "c");
}

TEST_F(ArchiveNaming, ExtensionWithSeparatorIsRefused) {
    window.extension = "/../escaped.zip";
    WriteFile(dir / "sub/d.txt", "d");
    File(dir / "sub/d.txt", dir / "sub");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "sub/" + "d.txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_FALSE(Exists(dir / "escaped.zip"));
}

TEST_F(ArchiveNaming, NameWithSpaces) {
    std::filesystem::create_directory(dir / "my work");
    WriteFile(dir / "my work/my notes.txt", "notes");
    File(dir / "my work/my notes.txt", dir / "my work");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "my work/my notes.zip"}));
    EXPECT_EQ(ZipNames(dir / "my work/my notes.zip"), (Lines{"my notes.txt"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "my work/my notes.zip"));
}

TEST_F(ArchiveNaming, DestinationFolderElsewhere) {
    WriteFile(dir / "src/e.txt", "e");
    std::filesystem::create_directory(dir / "out");
    File(dir / "src/e.txt", dir / "out");
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "out/e.zip"}));
    EXPECT_FALSE(Exists(dir / "src/e.zip"));
    EXPECT_EQ(ReadZip(dir / "out/e.zip").at("e.txt").content, "e");
}

TEST_F(ArchiveNaming, HiddenFileKeepsItsWholeName) {
    WriteFile(dir / ".profile", "hidden");
    File(dir / ".profile", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / ".profile.zip"}));
    EXPECT_EQ(ReadZip(dir / ".profile.zip").at(".profile").content, "hidden");
}

TEST_F(ArchiveNaming, WholeFolderBesideItself) {
    WriteFile(dir / "docs/a.txt", "a");
    WriteFile(dir / "docs/sub/b.txt", "b");
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "docs.zip"}));
    EXPECT_TRUE(UnzipTestPasses(dir / "docs.zip"));
    const auto entries = ReadZip(dir / "docs.zip");
    EXPECT_EQ(entries.at("a.txt").content, "a");
    EXPECT_EQ(entries.at("sub/b.txt").content, "b");
    Folder(dir / "docs");
    EXPECT_EQ(window.lines.front(), "[OK]" + dir / "docs (2).zip");
}

TEST_F(ArchiveNaming, WholeFolderWithEmptyExtensionNamesTheFolderItself) {
    window.extension = "";
    WriteFile(dir / "docs/a.txt", "a");
    Folder(dir / "docs");
    // The folder does not count as taken, so the archive would be the folder itself: the archiver
    // refuses to replace it and the folder stays as it was.
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/"}));
    EXPECT_EQ(ArchiverCalls(), 1);
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "a");
}

TEST_F(ArchiveNaming, LongPathIsShortenedToTheListWidth) {
    const std::string deep = dir / "one/two/three/four/five";
    WriteFile(deep + "/f.txt", "f");
    window.listWidthTwips = 400 + 100 * 16;  // room for 16 bytes at 100 twips each
    File(deep + "/f.txt", deep);
    ASSERT_EQ(window.lines.size(), 1u);
    EXPECT_EQ(window.lines[0], "[OK]/.../five/f.zip");
    EXPECT_TRUE(UnzipTestPasses(deep + "/f.zip"));
}

}  // namespace
