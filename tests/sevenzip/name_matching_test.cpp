// name_matching_test.cpp - guards against the wrong files being archived: wildcards match what they
// should and nothing else, -ir! reaches every subfolder, and the two syntax extensions let every name
// the platform allows be archived alone under its exact name: -spd makes '*' and '?' literal, and "--"
// ends the switches so a name may start with '-'.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sevenzip32.h"
#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

std::vector<std::string> archivedNames(const std::string& command, const std::string& archive) {
    const CallResult result = sevenZip(command);
    EXPECT_EQ(result.code, 0) << command << "\n" << result.output;
    if (result.code != 0) return {};
    EXPECT_TRUE(unzipTestPasses(archive));
    std::vector<std::string> names = readWithPython(archive).names();
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(NameMatching, StarDotStarMatchesNamesWithAndWithoutDots) {
    TempDir dir;
    for (const char* name : {"a.txt", "noext", ".dotfile", "b.tar.gz"})
        writeFile(dir / ("s/" + std::string(name)), name);
    writeFile(dir / "s/sub/deep.txt", "deep");
    const std::string cmd = "a -tzip " + quoted(dir / "x.zip") + " " + quoted(dir / "s/") + " \"*.*\"";
    EXPECT_EQ(archivedNames(cmd, dir / "x.zip"),
              (Names{".dotfile", "a.txt", "b.tar.gz", "noext", "sub/", "sub/deep.txt"}));
}

TEST(NameMatching, StarAndQuestionMarkSelectOnlyMatchingNames) {
    TempDir dir;
    for (const char* name : {"a1.txt", "a22.txt", "b1.txt", "a1.log", "写.txt", "写真.txt"})
        writeFile(dir / ("s/" + std::string(name)), "x");
    const std::string base = quoted(dir / "s/");
    EXPECT_EQ(archivedNames("a " + quoted(dir / "1.zip") + " " + base + " \"a?.txt\"", dir / "1.zip"),
              (Names{"a1.txt"}));
    EXPECT_EQ(archivedNames("a " + quoted(dir / "2.zip") + " " + base + " \"a*.txt\"", dir / "2.zip"),
              (Names{"a1.txt", "a22.txt"}));
    EXPECT_EQ(archivedNames("a " + quoted(dir / "3.zip") + " " + base + " \"?.txt\"", dir / "3.zip"),
              (Names{"写.txt"}));
    EXPECT_EQ(archivedNames("a " + quoted(dir / "4.zip") + " " + base + " \"*1.*\" b1.txt", dir / "4.zip"),
              (Names{"a1.log", "a1.txt", "b1.txt"}));
}

TEST(NameMatching, RecursiveIncludeReachesEverySubfolder) {
    TempDir dir;
    writeFile(dir / "s/top.txt", "1");
    writeFile(dir / "s/top.log", "2");
    writeFile(dir / "s/x/mid.txt", "3");
    writeFile(dir / "s/x/y/low.txt", "4");
    writeFile(dir / "s/x/y/low.bin", "5");
    const std::string cmd = "a " + quoted(dir / "r.zip") + " " + quoted(dir / "s/") + " \"-ir!*.txt\"";
    EXPECT_EQ(archivedNames(cmd, dir / "r.zip"), (Names{"top.txt", "x/mid.txt", "x/y/low.txt"}));
}

TEST(NameMatching, WildcardMatchingNothingIsNotAnErrorButAMissingPlainNameIs) {
    TempDir dir;
    writeFile(dir / "s/a.txt", "a");
    const std::string base = quoted(dir / "s/");
    EXPECT_EQ(archivedNames("a " + quoted(dir / "w.zip") + " " + base + " a.txt \"*.none\"", dir / "w.zip"),
              (Names{"a.txt"}));
    EXPECT_EQ(sevenZip("a " + quoted(dir / "m.zip") + " " + base + " a.txt none.txt").code,
              SEVENZIP_E_NO_FILES);
}

TEST(NameMatching, LiteralNamesWithWildcardCharactersNeedSpd) {
    TempDir dir;
    writeFile(dir / "s/a*.txt", "the star");
    writeFile(dir / "s/abc.txt", "not me");
    writeFile(dir / "s/what?.txt", "the question");
    writeFile(dir / "s/whatX.txt", "not me either");
    const std::string base = quoted(dir / "s/");
    const std::string star = "a -spd " + quoted(dir / "star.zip") + " " + base + " \"a*.txt\"";
    EXPECT_EQ(archivedNames(star, dir / "star.zip"), (Names{"a*.txt"}));
    EXPECT_EQ(compareArchive(dir / "star.zip", {{"a*.txt", "the star"}}, {}), "");
    const std::string question = "a -spd " + quoted(dir / "q.zip") + " " + base + " \"what?.txt\"";
    EXPECT_EQ(archivedNames(question, dir / "q.zip"), (Names{"what?.txt"}));
    // Without -spd the same name is a wildcard and takes the other file too.
    const std::string loose = "a " + quoted(dir / "l.zip") + " " + base + " \"what?.txt\"";
    EXPECT_EQ(archivedNames(loose, dir / "l.zip"), (Names{"what?.txt", "whatX.txt"}));
}

TEST(NameMatching, DoubleDashLetsNamesStartWithADash) {
    TempDir dir;
    writeFile(dir / "s/-mx=0", "looks like a switch");
    writeFile(dir / "s/--", "two dashes");
    writeFile(dir / "s/-ir!*.*", "looks like the include");
    const std::string base = quoted(dir / "s/");
    EXPECT_EQ(
        archivedNames("a -spd -- " + quoted(dir / "d.zip") + " " + base + " \"-mx=0\" \"--\" \"-ir!*.*\"",
                      dir / "d.zip"),
        (Names{"--", "-ir!*.*", "-mx=0"}));
    EXPECT_EQ(
        compareArchive(
            dir / "d.zip",
            {{"-mx=0", "looks like a switch"}, {"--", "two dashes"}, {"-ir!*.*", "looks like the include"}},
            {}),
        "");
    // Without "--" the same token is a switch (here an unknown one), never a name.
    EXPECT_EQ(sevenZip("a " + quoted(dir / "e.zip") + " " + base + " \"-weird\"").code, SEVENZIP_E_SYNTAX);
}

TEST(NameMatching, OddBytesInNamesAreKept) {
    TempDir dir;
    const std::string newline = "two\nlines", quoteless = "tab\there", backslash = "back\\slash";
    for (const std::string& name : {newline, quoteless, backslash}) writeFile(dir / ("s/" + name), name);
    const std::string base = quoted(dir / "s/");
    for (const std::string& name : {newline, quoteless, backslash}) {
        const std::string archive = dir / (std::to_string(name.size()) + ".zip");
        ASSERT_EQ(sevenZip("a -spd -- " + quoted(archive) + " " + base + " " + quoted(name)).code, 0) << name;
        EXPECT_EQ(compareArchive(archive, {{name, name}}, {}), "") << name;
    }
}

TEST(NameMatching, SwitchesMayComeAnywhereAndQuoted) {
    TempDir dir;
    writeFile(dir / "s/a.txt", textBytes(10000));
    const std::string cmd =
        "a " + quoted(dir / "z.zip") + " \"-tzip\" " + quoted(dir / "s/") + " -MX=0 a.txt \"-hide\"";
    EXPECT_EQ(archivedNames(cmd, dir / "z.zip"), (Names{"a.txt"}));
    EXPECT_EQ(readWithPython(dir / "z.zip").find("a.txt")->method, 0);  // -MX=0 took effect: stored
}

TEST(NameMatching, SameFileNamedTwiceIsStoredOnce) {
    TempDir dir;
    writeFile(dir / "s/a.txt", "a");
    const std::string cmd =
        "a " + quoted(dir / "o.zip") + " " + quoted(dir / "s/") + " a.txt ./a.txt \"*.txt\"";
    EXPECT_EQ(archivedNames(cmd, dir / "o.zip"), (Names{"a.txt"}));
}

TEST(NameMatching, TwoBaseFoldersWithClashingNamesAreRefused) {
    TempDir dir;
    writeFile(dir / "p/a.txt", "p");
    writeFile(dir / "q/a.txt", "q");
    writeFile(dir / "q/b.txt", "b");
    const std::string ok =
        "a " + quoted(dir / "ok.zip") + " " + quoted(dir / "p/") + " a.txt " + quoted(dir / "q/") + " b.txt";
    EXPECT_EQ(archivedNames(ok, dir / "ok.zip"), (Names{"a.txt", "b.txt"}));
    const std::string clash =
        "a " + quoted(dir / "c.zip") + " " + quoted(dir / "p/") + " a.txt " + quoted(dir / "q/") + " a.txt";
    EXPECT_EQ(sevenZip(clash).code, SEVENZIP_E_SYNTAX);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.zip"));
}
