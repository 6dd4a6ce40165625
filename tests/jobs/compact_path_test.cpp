// compact_path_test.cpp - guards the shortening of result-line paths: every pass of the "..." rule in
// order, the drive rule, the bare name that is never cut, names starting with a dot (shortened one per
// pass, never swallowed with their neighbour), and the width result lines are shortened to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CompactPath.h"
#include "recording_window.h"

namespace {

using mMain::CompactPath;

// Shortens `path` at 100 twips per byte and returns every text that was measured, in order, followed
// by the result. The measured texts are the passes of the shortening loop.
std::vector<std::string> Passes(const std::string& path, int maxWidth, char sep) {
    std::vector<std::string> seen;
    const std::string result = CompactPath(
        path,
        [&seen](const std::string& text) {
            seen.push_back(text);
            return 100 * static_cast<int>(text.size());
        },
        maxWidth, sep);
    seen.push_back(result);
    return seen;
}

using Texts = std::vector<std::string>;

TEST(CompactPathDrive, FitsUnchanged) {
    EXPECT_EQ(Passes(R"(C:\Documents\Work\Reports\data.zip)", 4000, '\\'),
              (Texts{R"(C:\Documents\Work\Reports\data.zip)", R"(C:\Documents\Work\Reports\data.zip)"}));
}

TEST(CompactPathDrive, RemovesOneFolderPerPass) {
    EXPECT_EQ(Passes(R"(C:\Documents\Work\Reports\data.zip)", 2000, '\\'),
              (Texts{R"(C:\Documents\Work\Reports\data.zip)", R"(C:\...\Work\Reports\data.zip)",
                     R"(C:\...\Reports\data.zip)", R"(C:\...\data.zip)", R"(C:\...\data.zip)"}));
}

TEST(CompactPathDrive, DropsDriveThenMarker) {
    EXPECT_EQ(Passes(R"(C:\Documents\Work\Reports\data.zip)", 1000, '\\'),
              (Texts{R"(C:\Documents\Work\Reports\data.zip)", R"(C:\...\Work\Reports\data.zip)",
                     R"(C:\...\Reports\data.zip)", R"(C:\...\data.zip)", R"(...\data.zip)", "data.zip"}));
}

TEST(CompactPathDrive, BareNameEvenWhenTooWide) {
    EXPECT_EQ(CompactPath(R"(C:\Documents\Work\Reports\data.zip)",
                          [](const std::string& t) { return 100 * int(t.size()); }, 500, '\\'),
              "data.zip");
}

TEST(CompactPathDrive, FileInDriveRoot) {
    EXPECT_EQ(Passes(R"(C:\a.zip)", 300, '\\'), (Texts{R"(C:\a.zip)", "C:a.zip", "a.zip"}));
}

TEST(CompactPathDrive, FolderWithEmptyName) {
    EXPECT_EQ(Passes(R"(C:\src\)", 100, '\\'), (Texts{R"(C:\src\)", R"(C:\...\)", R"(...\)", ""}));
}

TEST(CompactPathDrive, NetworkPathGrowsFirstThenShrinks) {
    EXPECT_EQ(Passes(R"(\\srv\share\dir\f.zip)", 1000, '\\'),
              (Texts{R"(\\srv\share\dir\f.zip)", R"(\...\srv\share\dir\f.zip)", R"(\...\share\dir\f.zip)",
                     R"(\...\dir\f.zip)", R"(\...\f.zip)", R"(\...\f.zip)"}));
}

TEST(CompactPathDrive, EmptyText) {
    int calls = 0;
    EXPECT_EQ(CompactPath(
                  "", [&calls](const std::string&) { return ++calls; }, 0, '\\'),
              "");
    EXPECT_EQ(calls, 0);
}

TEST(CompactPathDotNames, ShortDotFolderIsOneNameLikeAnyOther) {
    EXPECT_EQ(Passes(R"(C:\.a\b\c\x.zip)", 1400, '\\'),
              (Texts{R"(C:\.a\b\c\x.zip)", R"(C:\...\b\c\x.zip)", R"(C:\...\c\x.zip)", R"(C:\...\c\x.zip)"}));
}

TEST(CompactPathDotNames, LongDotFolder) {
    EXPECT_EQ(Passes(R"(C:\.git\src\x.zip)", 1600, '\\'),
              (Texts{R"(C:\.git\src\x.zip)", R"(C:\...\src\x.zip)", R"(C:\...\src\x.zip)"}));
}

TEST(CompactPathDotNames, TwoCharDotFolderUnderDriveRunsDownToName) {
    EXPECT_EQ(
        Passes(R"(D:\.m\longname.zip)", 500, '\\'),
        (Texts{R"(D:\.m\longname.zip)", R"(D:\...\longname.zip)", R"(...\longname.zip)", "longname.zip"}));
    EXPECT_EQ(Passes(R"(D:\.m\)", 100, '\\'), (Texts{R"(D:\.m\)", R"(D:\...\)", R"(...\)", ""}));
}

TEST(CompactPathDotNames, SlashPathWithDotFolders) {
    EXPECT_EQ(Passes("/home/u/.a/.cache/x.zip", 700, '/'),
              (Texts{"/home/u/.a/.cache/x.zip", "/.../u/.a/.cache/x.zip", "/.../.a/.cache/x.zip",
                     "/.../.cache/x.zip", "/.../x.zip", ".../x.zip", "x.zip"}));
}

TEST(CompactPathSlash, FitsUnchanged) {
    EXPECT_EQ(CompactPath(
                  "/Documents/Work/Reports/data.zip",
                  [](const std::string& t) { return 100 * int(t.size()); }, 4000),
              "/Documents/Work/Reports/data.zip");
}

TEST(CompactPathSlash, RemovesOneFolderPerPass) {
    EXPECT_EQ(Passes("/Documents/Work/Reports/data.zip", 2000, '/'),
              (Texts{"/Documents/Work/Reports/data.zip", "/.../Work/Reports/data.zip",
                     "/.../Reports/data.zip", "/.../data.zip", "/.../data.zip"}));
}

TEST(CompactPathSlash, DropsMarkerLast) {
    EXPECT_EQ(Passes("/Documents/Work/Reports/data.zip", 1000, '/'),
              (Texts{"/Documents/Work/Reports/data.zip", "/.../Work/Reports/data.zip",
                     "/.../Reports/data.zip", "/.../data.zip", ".../data.zip", "data.zip"}));
}

TEST(CompactPathSlash, FileInRoot) {
    EXPECT_EQ(Passes("/a.zip", 300, '/'), (Texts{"/a.zip", "a.zip"}));
}

TEST(CompactPathSlash, FolderWithEmptyName) {
    EXPECT_EQ(Passes("/src/", 100, '/'), (Texts{"/src/", "/.../", ".../", ""}));
}

TEST(CompactPathSlash, DoubledSeparatorAfterRoot) {
    EXPECT_EQ(Passes("//docs.zip", 500, '/'),
              (Texts{"//docs.zip", "/.../docs.zip", ".../docs.zip", "docs.zip"}));
}

TEST(CompactPathSlash, TextWithoutSeparatorIsReturnedAsItIs) {
    EXPECT_EQ(CompactPath(
                  "plain.zip", [](const std::string& t) { return 100 * int(t.size()); }, 1),
              "plain.zip");
}

TEST(CompactPathSlash, ColonInFirstFolderIsNotADrive) {
    // "/:" is a folder name here, not a drive, because it does not start with a letter.
    EXPECT_EQ(Passes("/:/ab/x.zip", 1000, '/'),
              (Texts{"/:/ab/x.zip", "/.../ab/x.zip", "/.../x.zip", "/.../x.zip"}));
}

TEST(CompactPathSlash, BackslashIsAnOrdinaryByte) {
    EXPECT_EQ(Passes(R"(/w\x/y/a.zip)", 1100, '/'),
              (Texts{R"(/w\x/y/a.zip)", "/.../y/a.zip", "/.../a.zip", "/.../a.zip"}));
}

// Every result keeps the name, fits when anything fitting exists, and is one of the passes.
TEST(CompactPathSweep, AnyWidthKeepsNameAndFitsWhenPossible) {
    const std::vector<std::string> paths = {"/a/b/c/d/e.zip", "/.../x/y.zip", "/./../.x/y.zip",
                                            "//a//b//c.zip",  "/a/",          "/",
                                            "C:/q/r/s.zip",   "/ä/ö/ü.zip"};
    for (const std::string& path : paths) {
        const std::string name = path.substr(path.rfind('/') + 1);
        for (int width = -100; width <= 2000; width += 50) {
            const Texts seen = Passes(path, width, '/');
            const std::string& result = seen.back();
            ASSERT_GE(result.size(), name.size()) << path << " @" << width;
            EXPECT_EQ(result.substr(result.size() - name.size()), name) << path << " @" << width;
            if (100 * static_cast<int>(name.size()) <= width) {
                EXPECT_LE(100 * static_cast<int>(result.size()), width) << path << " @" << width;
            }
            EXPECT_LE(seen.size(), 2 * path.size() + 4) << path;
        }
    }
}

TEST(CompactPathWindow, UsesTheWindowsMeasure) {
    jobs_test::RecordingWindow window;
    EXPECT_EQ(CompactPath("/Documents/Work/Reports/data.zip", window, 1400), "/.../data.zip");
    EXPECT_EQ(CompactPath("/Documents/Work/Reports/data.zip", window, 4000),
              "/Documents/Work/Reports/data.zip");
}

TEST(ResultLineWidth, ListWidthLessMargin) {
    EXPECT_EQ(mMain::ResultLineWidth(4305), 3905);
    EXPECT_EQ(mMain::ResultLineWidth(400), 0);
    EXPECT_EQ(mMain::ResultLineWidth(0), -400);
}

TEST(ResultLineWidth, RoundsHalfToEven) {
    EXPECT_EQ(mMain::ResultLineWidth(1000.5), 600);
    EXPECT_EQ(mMain::ResultLineWidth(1001.5), 602);
    EXPECT_EQ(mMain::ResultLineWidth(1001.4), 601);
    EXPECT_EQ(mMain::ResultLineWidth(1001.6), 602);
}

TEST(ResultLineWidth, HeldToSixteenBits) {
    EXPECT_EQ(mMain::ResultLineWidth(1e9), 32767);
    EXPECT_EQ(mMain::ResultLineWidth(-1e9), -32768);
    EXPECT_EQ(mMain::ResultLineWidth(33167), 32767);
    EXPECT_EQ(mMain::ResultLineWidth(33166), 32766);
}

}  // namespace
