// compact_path_test.cpp - guards the shortening of result-line paths: every pass of the "..." rule in
// order, the drive rule, the bare name that is never cut, names starting with a dot (shortened one per
// pass, never swallowed with their neighbour), and the width result lines are shortened to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CompactPath.h"

namespace {

using mMain::CompactPath;
using Texts = std::vector<std::string>;

// Shortens `path` at 100 twips per byte and returns every text that was measured, in order, followed
// by the result. The measured texts are the passes of the shortening loop.
Texts Passes(const std::string& path, int maxWidth, char sep) {
    Texts seen;
    const auto measure = [&seen](const std::string& text) {
        seen.push_back(text);
        return 100 * static_cast<int>(text.size());
    };
    seen.push_back(CompactPath(path, measure, maxWidth, sep));
    return seen;
}

struct CompactCase {
    const char* name;
    std::string path;
    int width;
    char sep;
    Texts passes;  // the measured texts, then the result
};

TEST(CompactPath, PassesInOrder) {
    // clang-format off
    const CompactCase cases[] = {
        {"fits unchanged", R"(C:\Documents\Work\Reports\data.zip)", 4000, '\\',
         {R"(C:\Documents\Work\Reports\data.zip)", R"(C:\Documents\Work\Reports\data.zip)"}},
        {"drive: folders, then drive, then marker", R"(C:\Documents\Work\Reports\data.zip)", 1000, '\\',
         {R"(C:\Documents\Work\Reports\data.zip)", R"(C:\...\Work\Reports\data.zip)",
          R"(C:\...\Reports\data.zip)", R"(C:\...\data.zip)", R"(...\data.zip)", "data.zip"}},
        {"file in drive root", R"(C:\a.zip)", 300, '\\', {R"(C:\a.zip)", "C:a.zip", "a.zip"}},
        {"network path grows first, then shrinks", R"(\\srv\share\dir\f.zip)", 1000, '\\',
         {R"(\\srv\share\dir\f.zip)", R"(\...\srv\share\dir\f.zip)", R"(\...\share\dir\f.zip)",
          R"(\...\dir\f.zip)", R"(\...\f.zip)", R"(\...\f.zip)"}},
        {"empty text is never measured", "", 0, '\\', {""}},
        {"short dot folder is one name like any other", R"(C:\.a\b\c\x.zip)", 1400, '\\',
         {R"(C:\.a\b\c\x.zip)", R"(C:\...\b\c\x.zip)", R"(C:\...\c\x.zip)", R"(C:\...\c\x.zip)"}},
        {"two-character dot folder runs down to the name", R"(D:\.m\longname.zip)", 500, '\\',
         {R"(D:\.m\longname.zip)", R"(D:\...\longname.zip)", R"(...\longname.zip)", "longname.zip"}},
        {"two-character dot folder with empty name", R"(D:\.m\)", 100, '\\',
         {R"(D:\.m\)", R"(D:\...\)", R"(...\)", ""}},
        {"slash path with dot folders", "/home/u/.a/.cache/x.zip", 700, '/',
         {"/home/u/.a/.cache/x.zip", "/.../u/.a/.cache/x.zip", "/.../.a/.cache/x.zip", "/.../.cache/x.zip",
          "/.../x.zip", ".../x.zip", "x.zip"}},
        {"slash: folders, then marker", "/Documents/Work/Reports/data.zip", 1000, '/',
         {"/Documents/Work/Reports/data.zip", "/.../Work/Reports/data.zip", "/.../Reports/data.zip",
          "/.../data.zip", ".../data.zip", "data.zip"}},
        {"slash: file in root", "/a.zip", 300, '/', {"/a.zip", "a.zip"}},
        {"slash: folder with empty name", "/src/", 100, '/', {"/src/", "/.../", ".../", ""}},
        {"doubled separator after root", "//docs.zip", 500, '/',
         {"//docs.zip", "/.../docs.zip", ".../docs.zip", "docs.zip"}},
        {"text without separator is never measured", "plain.zip", 1, '/', {"plain.zip"}},
        {"colon in a first folder is no drive", "/:/ab/x.zip", 1000, '/',
         {"/:/ab/x.zip", "/.../ab/x.zip", "/.../x.zip", "/.../x.zip"}},
        {"backslash is an ordinary byte", R"(/w\x/y/a.zip)", 1100, '/',
         {R"(/w\x/y/a.zip)", "/.../y/a.zip", "/.../a.zip", "/.../a.zip"}},
    };
    // clang-format on
    for (const CompactCase& c : cases) EXPECT_EQ(Passes(c.path, c.width, c.sep), c.passes) << c.name;
}

// Every result keeps the name, fits when anything fitting exists, and the loop ends.
TEST(CompactPath, AnyWidthKeepsNameAndFitsWhenPossible) {
    const Texts paths = {"/a/b/c/d/e.zip", "/.../x/y.zip", "/./../.x/y.zip", "//a//b//c.zip", "/a/", "/",
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

TEST(CompactPath, ResultLineWidthIsListWidthLessMarginRoundedAndHeld) {
    const std::pair<double, int> cases[] = {
        {4305, 3905},  {400, 0},     {0, -400},      {1000.5, 600},  {1001.5, 602},  {1001.4, 601},
        {1001.6, 602}, {1e9, 32767}, {-1e9, -32768}, {33167, 32767}, {33166, 32766},
    };
    for (const auto& [list, line] : cases) EXPECT_EQ(mMain::ResultLineWidth(list), line) << list;
}

}  // namespace
