// archiver_failure_test.cpp - guards what a failed or refused archiver call leaves: an "[NG]" line
// naming the source, no archive, the sources untouched even with the delete box checked, and the
// window disabled only for the duration of the call and enabled afterwards.
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
    }
    static constexpr const char* kBogusPrefix = "a -tzip -hide -bogus";  // refused with result 1
};

// A single file that cannot be archived, for each cause: the "[NG]" line, the number of archiver
// calls, and the source kept with no archive beside it.
TEST_F(ArchiverFailure, FileGivesNgLineAndKeepsSource) {
    const struct {
        const char* name;
        std::string source, prefix, library, destination;
        int calls;
    } cases[] = {
        {"archiver refuses a switch", "a.txt", kBogusPrefix, PAKUTO_TEST_ARCHIVER_LIBRARY, "", 1},
        {"archiver refuses an empty command prefix", "a.txt", "", PAKUTO_TEST_ARCHIVER_LIBRARY, "", 1},
        {"library cannot be bound", "a.txt", kDefaultPrefix, dir / "no-such-library.so", "", 1},
        {"destination folder missing", "a.txt", kDefaultPrefix, PAKUTO_TEST_ARCHIVER_LIBRARY, "missing", 1},
        {"file gone before the job", "gone.txt", kDefaultPrefix, PAKUTO_TEST_ARCHIVER_LIBRARY, "", 0},
    };
    WriteFile(dir / "a.txt", "keep me");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mSevenZip32APIs::SetArchiverLibraryPath(c.library);
        window.lines.clear();
        window.enableCalls.clear();
        prefix = c.prefix;
        File(dir / c.source, c.destination.empty() ? dir.path() : dir / c.destination);
        EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "" + c.source}));
        EXPECT_EQ(ArchiverCalls(), c.calls);
        EXPECT_TRUE(window.enabled);
        EXPECT_EQ(ReadFile(dir / "a.txt"), "keep me");
        EXPECT_FALSE(Exists(dir / "a.zip"));
        EXPECT_FALSE(Exists(dir / "gone.zip"));
    }
}

TEST_F(ArchiverFailure, WindowDisabledOnlyDuringTheCall) {
    prefix = kBogusPrefix;
    WriteFile(dir / "a.txt", "x");
    std::vector<bool> seenDuring;
    window.onSetEnabled = [&](bool) { seenDuring.push_back(window.lines.empty()); };
    File(dir / "a.txt", dir.path());

    EXPECT_EQ(window.enableCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(seenDuring, (std::vector<bool>{true, true}));  // the line comes after the call
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.enabledAtInsert, (std::vector<bool>{true}));
}

TEST_F(ArchiverFailure, RelativePathsAreRefusedWithoutCallingTheArchiver) {
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

TEST_F(ArchiverFailure, FolderModesKeepTheTree) {
    prefix = kBogusPrefix;
    WriteFile(dir / "docs/a.txt", "a");
    WriteFile(dir / "docs/sub/b.txt", "b");
    Folder(dir / "docs");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/"}));
    EachFile(dir / "docs", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "docs/" + "a.txt", "[NG]" + dir / "docs/sub/" + "b.txt",
                                   "[NG]" + dir / "docs/"}));
    EXPECT_EQ(ArchiverCalls(), 3);
    EXPECT_EQ(ReadFile(dir / "docs/a.txt"), "a");
    EXPECT_EQ(ReadFile(dir / "docs/sub/b.txt"), "b");
    EXPECT_FALSE(Exists(dir / "docs.zip"));
    EXPECT_FALSE(Exists(dir / "a.zip"));
}

}  // namespace
