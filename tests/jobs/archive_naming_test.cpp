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

// One file archived beside itself (in folder f<case number>): the archive's name, and a file that
// stands in its way beforehand (kept unchanged).
struct NamingCase {
    const char* name;
    std::string source, extension, archive, inTheWay;
};

TEST_F(ArchiveNaming, SingleFileBesideItself) {
    const NamingCase cases[] = {
        {"plain", "a.txt", ".zip", "a.zip", ""},
        {"an existing file is never overwritten", "a.txt", ".zip", "a (2).zip", "a.zip"},
        {"a source archive is not its own target", "a.zip", ".zip", "a (2).zip", ""},
        {"only the last extension is replaced", "a.tar.gz", ".zip", "a.tar.zip", ""},
        {"extension without a dot", "a.tar.gz", "zip", "a.tarzip", ""},
        {"another extension still makes ZIP", "b.txt", ".7z", "b.7z", ""},
        {"empty extension gives the bare base name", "c.txt", "", "c", ""},
        {"name with spaces", "my notes.txt", ".zip", "my notes.zip", ""},
        {"hidden file keeps its whole name", ".profile", ".zip", ".profile.zip", ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const NamingCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string folder = dir / ("f" + std::to_string(i) + " my work");
        WriteFile(folder + "/" + c.source, "content of " + c.source);
        if (!c.inTheWay.empty()) WriteFile(folder + "/" + c.inTheWay, "not an archive, and precious");
        window.lines.clear();
        window.extension = c.extension;
        File(folder + "/" + c.source, folder);

        EXPECT_EQ(window.lines, (Lines{"[OK]" + folder + "/" + c.archive}));
        EXPECT_TRUE(UnzipTestPasses(folder + "/" + c.archive));
        const auto entries = ReadZip(folder + "/" + c.archive);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.at(c.source).content, "content of " + c.source);
        EXPECT_EQ(ReadFile(folder + "/" + c.source), "content of " + c.source);
        if (!c.inTheWay.empty()) {
            EXPECT_EQ(ReadFile(folder + "/" + c.inTheWay), "not an archive, and precious");
        }
    }
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

TEST_F(ArchiveNaming, ExtensionWithSeparatorIsRefused) {
    window.extension = "/../escaped.zip";
    WriteFile(dir / "sub/d.txt", "d");
    File(dir / "sub/d.txt", dir / "sub");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "sub/" + "d.txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_FALSE(Exists(dir / "escaped.zip"));
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

// The folder part is shortened to the list's width less its margin; on failure the name is appended whole.
TEST_F(ArchiveNaming, ResultLinesAreShortenedToTheListWidth) {
    const std::string deep = dir / "one/two/three/four/five";
    WriteFile(deep + "/f.txt", "f");
    window.listWidthTwips = 400 + 100 * 16;  // room for 16 bytes at 100 twips each
    File(deep + "/f.txt", deep);
    EXPECT_TRUE(UnzipTestPasses(deep + "/f.zip"));
    window.listWidthTwips = 400 + 500;  // five bytes
    File(deep + "/f.txt", deep + "/missing");
    EXPECT_EQ(window.lines, (Lines{"[NG]/.../f.txt", "[OK]/.../five/f.zip"}));
}

}  // namespace
