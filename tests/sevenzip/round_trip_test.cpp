// round_trip_test.cpp - guards against archives that lose or damage data: what goes in through the
// tool's two command forms (and plain names relative to the current folder) must come out of Python's
// zipfile and unzip -t byte for byte - spaces and Japanese in names, names that are not UTF-8, empty
// files, empty folders, nested trees, binary and incompressible data, every -mx level; and when the
// call returns, none of its threads is left running.
#include <gtest/gtest.h>
#include <unistd.h>

#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

// The folder form the tool sends for a whole folder: base with a doubled '/', "*.*" and -ir!*.*.
std::string folderCommand(const std::string& archive, const std::string& folder,
                          const std::string& prefix = kPrefix) {
    return prefix + " " + quoted(archive) + " " + quoted(folder + "//") + " \"*.*\" \"-ir!*.*\"";
}

std::string fileCommand(const std::string& archive, const std::string& folder, const std::string& name) {
    return kPrefix + " " + quoted(archive) + " " + quoted(folder + "/") + " " + quoted(name);
}

}  // namespace

TEST(RoundTrip, SingleFileForm) {
    TempDir dir;
    const std::string content = textBytes(50000);
    writeFile(dir / "a.txt", content);
    writeFile(dir / "other.txt", "not selected");
    const CallResult result = sevenZip(fileCommand(dir / "a.zip", dir.path(), "a.txt"));
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "a.zip", {{"a.txt", content}}, {}), "");
    EXPECT_NE(result.output.find("a.zip"), std::string::npos) << result.output;
}

TEST(RoundTrip, FolderFormKeepsTheWholeTreeRelativeToTheFolder) {
    TempDir dir;
    const std::string docs = dir / "docs";
    const std::string big = textBytes(3 << 20), binary = randomBytes(70000, 1), small = "x";
    writeFile(docs + "/readme.txt", big);
    writeFile(docs + "/noext", small);
    writeFile(docs + "/.hidden", "hidden");
    writeFile(docs + "/sub/deeper/data.bin", binary);
    writeFile(docs + "/sub/empty.txt", "");
    makeFolder(docs + "/sub/empty-folder");
    makeFolder(docs + "/a/b/c/d");
    const CallResult result = sevenZip(folderCommand(dir / "docs.zip", docs));
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(
        compareArchive(dir / "docs.zip",
                       {{"readme.txt", big},
                        {"noext", small},
                        {".hidden", "hidden"},
                        {"sub/deeper/data.bin", binary},
                        {"sub/empty.txt", ""}},
                       {"sub/", "sub/deeper/", "sub/empty-folder/", "a/", "a/b/", "a/b/c/", "a/b/c/d/"}),
        "");
    const std::vector<std::string> listed = bsdtarNames(dir / "docs.zip");
    EXPECT_EQ(listed.size(), 12u);
}

TEST(RoundTrip, FolderWithOnlyEmptyFoldersGivesAValidArchiveOfThem) {
    TempDir dir;
    makeFolder(dir / "tree/x/y");
    makeFolder(dir / "tree/z");
    ASSERT_EQ(sevenZip(folderCommand(dir / "tree.zip", dir / "tree")).code, 0);
    EXPECT_EQ(compareArchive(dir / "tree.zip", {}, {"x/", "x/y/", "z/"}), "");
}

TEST(RoundTrip, EmptyFolderGivesAValidEmptyArchive) {
    TempDir dir;
    makeFolder(dir / "nothing");
    ASSERT_EQ(sevenZip(folderCommand(dir / "nothing.zip", dir / "nothing")).code, 0);
    // unzip -t calls an empty archive a warning; zipfile and bsdtar read it as the empty archive it is.
    const ZipReport report = readWithPython(dir / "nothing.zip");
    EXPECT_TRUE(report.readable) << report.problem;
    EXPECT_TRUE(report.entries.empty());
    EXPECT_EQ(runProcess({PAKUTO_TEST_BSDTAR, "-tf", dir / "nothing.zip"}).exitCode, 0);
    EXPECT_EQ(readFile(dir / "nothing.zip").size(), 22u);
}

TEST(RoundTrip, NamesWithSpacesAndJapanese) {
    TempDir dir;
    const std::string jp = "報告書 第1版.txt";
    writeFile(dir / "my notes.txt", "spaces");
    writeFile(dir / jp, textBytes(2000));
    writeFile(dir / "フォルダ/中身.csv", "1,2,3");
    ASSERT_EQ(sevenZip(fileCommand(dir / "my notes.zip", dir.path(), "my notes.txt")).code, 0);
    EXPECT_EQ(compareArchive(dir / "my notes.zip", {{"my notes.txt", "spaces"}}, {}), "");
    ASSERT_EQ(sevenZip(fileCommand(dir / "報告書.zip", dir.path(), jp)).code, 0);
    EXPECT_EQ(compareArchive(dir / "報告書.zip", {{jp, textBytes(2000)}}, {}), "");
    ASSERT_EQ(sevenZip(folderCommand(dir / "フォルダ.zip", dir / "フォルダ")).code, 0);
    EXPECT_EQ(compareArchive(dir / "フォルダ.zip", {{"中身.csv", "1,2,3"}}, {}), "");
}

TEST(RoundTrip, NamesThatAreNotUtf8AreStoredAsTheirBytes) {
    TempDir dir;
    const std::string latin1 = "caf\xe9.txt", sjis = "\x83\x65\x83\x58\x83\x67.txt";
    writeFile(dir / ("t/" + latin1), "latin-1");
    writeFile(dir / ("t/" + sjis), "shift_jis");
    ASSERT_EQ(sevenZip(folderCommand(dir / "t.zip", dir / "t")).code, 0);
    EXPECT_EQ(compareArchive(dir / "t.zip", {{latin1, "latin-1"}, {sjis, "shift_jis"}}, {}), "");
}

TEST(RoundTrip, IncompressibleFileIsStoredAndCompressibleOneDeflated) {
    TempDir dir;
    const std::string noise = randomBytes(200000, 2), text = textBytes(200000);
    writeFile(dir / "d/noise.bin", noise);
    writeFile(dir / "d/text.txt", text);
    ASSERT_EQ(sevenZip(folderCommand(dir / "d.zip", dir / "d")).code, 0);
    EXPECT_EQ(compareArchive(dir / "d.zip", {{"noise.bin", noise}, {"text.txt", text}}, {}), "");
    const ZipReport report = readWithPython(dir / "d.zip");
    ASSERT_NE(report.find("noise.bin"), nullptr);
    EXPECT_EQ(report.find("noise.bin")->method, 0);
    EXPECT_EQ(report.find("text.txt")->method, 8);
}

TEST(RoundTrip, EveryLevelWritesAReadableArchiveAndLevelZeroStores) {
    TempDir dir;
    const std::string text = textBytes(400000);
    writeFile(dir / "d/text.txt", text);
    writeFile(dir / "d/bin/noise", randomBytes(30000, 3));
    for (int level = 0; level <= 9; ++level) {
        const std::string archive = dir / ("level" + std::to_string(level) + ".zip");
        const std::string prefix = "a -tzip -hide -mx=" + std::to_string(level);
        ASSERT_EQ(sevenZip(folderCommand(archive, dir / "d", prefix)).code, 0) << level;
        EXPECT_EQ(
            compareArchive(archive, {{"text.txt", text}, {"bin/noise", randomBytes(30000, 3)}}, {"bin/"}), "")
            << level;
        const ZipReport report = readWithPython(archive);
        ASSERT_NE(report.find("text.txt"), nullptr);
        EXPECT_EQ(report.find("text.txt")->method, level == 0 ? 0 : 8) << level;
    }
}

TEST(RoundTrip, LargeFileSpanningManyPiecesSurvives) {
    TempDir dir;
    std::string mixed = textBytes(20 << 20);
    mixed.replace(5 << 20, 1 << 20, randomBytes(1 << 20, 4));
    writeFile(dir / "big.log", mixed);
    ASSERT_EQ(sevenZip(fileCommand(dir / "big.zip", dir.path(), "big.log")).code, 0);
    EXPECT_EQ(compareArchive(dir / "big.zip", {{"big.log", mixed}}, {}), "");
}

TEST(RoundTrip, NamesWithoutBaseFolderAreRelativeToTheCurrentFolder) {
    TempDir dir;
    writeFile(dir / "here/one.txt", "1");
    writeFile(dir / "here/sub/two.txt", "2");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir((dir / "here").c_str()), 0);
    const CallResult result = sevenZip("a -tzip out.zip one.txt ./sub/two.txt");
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "here/out.zip", {{"one.txt", "1"}, {"sub/two.txt", "2"}}, {}), "");
}

TEST(RoundTrip, FolderNamedAsAPlainNameComesWithItsTree) {
    TempDir dir;
    writeFile(dir / "p/inner/x.txt", "x");
    makeFolder(dir / "p/inner/void");
    ASSERT_EQ(sevenZip("a -tzip " + quoted(dir / "p.zip") + " " + quoted(dir.path() + "/") + " p").code, 0);
    EXPECT_EQ(compareArchive(dir / "p.zip", {{"p/inner/x.txt", "x"}}, {"p/", "p/inner/", "p/inner/void/"}),
              "");
}

TEST(RoundTrip, NoThreadOutlivesTheCall) {
    const auto threads = [] { return folderNames("/proc/self/task").size(); };
    TempDir dir;
    for (int i = 0; i < 8; ++i) writeFile(dir / ("t/" + std::to_string(i) + ".txt"), textBytes(1 << 20));
    const size_t before = threads();
    ASSERT_EQ(sevenZip(folderCommand(dir / "t.zip", dir / "t")).code, 0);
    EXPECT_EQ(threads(), before);
}
