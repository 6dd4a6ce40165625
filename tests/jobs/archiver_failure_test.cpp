// archiver_failure_test.cpp - guards what a failed archiver call leaves: an "[NG]" line naming the
// source (folder shortened, name appended), no archive, the sources untouched even with the delete
// box checked, and the window disabled only for the duration of the call and enabled afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "job_fixture.h"

namespace {

using namespace jobs_test;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

class ArchiverFailure : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        window.deleteState = 1;
        prefix = "a -tzip -hide -bogus";  // the library refuses an unknown switch with result 1
    }
};

TEST_F(ArchiverFailure, FileGivesNgLineAndKeepsSource) {
    WriteFile(dir / "a.txt", "keep me");
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "a.txt"}));
    EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
    EXPECT_FALSE(Exists(dir / "a.zip"));
    EXPECT_EQ(ArchiverCalls(), 1);
}

TEST_F(ArchiverFailure, NgLineShortensOnlyTheFolder) {
    WriteFile(dir / "a.txt", "x");
    window.listWidthTwips = 400 + 500;  // five bytes
    File(dir / "a.txt", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]/.../a.txt"}));
}

TEST_F(ArchiverFailure, WindowDisabledOnlyDuringTheCall) {
    WriteFile(dir / "a.txt", "x");
    std::vector<bool> seenDuring;
    window.onSetEnabled = [&](bool) { seenDuring.push_back(window.lines.empty()); };
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.enableCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(seenDuring, (std::vector<bool>{true, true}));  // the line comes after the call
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.enabledAtInsert, (std::vector<bool>{true}));
}

TEST_F(ArchiverFailure, UnboundLibraryIsAFailureToo) {
    prefix = kDefaultPrefix;
    mSevenZip32APIs::SetArchiverLibraryPath(dir / "no-such-library.so");
    WriteFile(dir / "a.txt", "keep me");
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "a.txt"}));
    EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
    EXPECT_TRUE(window.enabled);
}

TEST_F(ArchiverFailure, MissingDestinationFolder) {
    prefix = kDefaultPrefix;
    WriteFile(dir / "a.txt", "keep me");
    File(dir / "a.txt", dir / "no-such-folder");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "a.txt"}));
    EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
}

TEST_F(ArchiverFailure, FileGoneBeforeTheJob) {
    prefix = kDefaultPrefix;
    File(dir / "gone.txt", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "gone.txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
}

TEST_F(ArchiverFailure, RelativePathsAreRefusedWithoutCallingTheArchiver) {
    prefix = kDefaultPrefix;
    WriteFile(dir / "a.txt", "keep me");
    const std::string relative = fs::path(dir / "a.txt").relative_path().string();  // no leading '/'
    File(relative, dir.path());
    File(dir / "a.txt", "");
    Folder(fs::path(dir.path()).relative_path().string());
    EachFile(dir.path(), "relative/destination");

    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_EQ(window.lines.size(), 4u);
    for (const std::string& line : window.lines) EXPECT_EQ(line.rfind("[NG]", 0), 0u) << line;
    EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
    EXPECT_FALSE(Exists(dir / "a.zip"));
}

TEST_F(ArchiverFailure, WholeFolderKeepsTheTree) {
    WriteFile(dir / "docs/a.txt", "a");
    WriteFile(dir / "docs/sub/b.txt", "b");
    Folder(dir / "docs");

    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/"}));
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "a");
    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "b");
    EXPECT_FALSE(Exists(dir / "docs.zip"));
    EXPECT_EQ(window.enableCalls, (std::vector<bool>{false, true}));
}

TEST_F(ArchiverFailure, EachFileGivesOneNgLinePerFile) {
    WriteFile(dir / "docs/a.txt", "a");
    WriteFile(dir / "docs/sub/b.txt", "b");
    EachFile(dir / "docs", dir.path());

    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/" + "a.txt", "[NG]" + dir / "docs/sub/" + "b.txt"}));
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "a");
    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "b");
    EXPECT_EQ(ArchiverCalls(), 2);
}

TEST_F(ArchiverFailure, EmptyPrefixIsRefusedByTheArchiver) {
    prefix = "";
    WriteFile(dir / "a.txt", "keep me");
    File(dir / "a.txt", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + "a.txt"}));
    EXPECT_EQ(ArchiverCalls(), 1);
    EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
}

}  // namespace
