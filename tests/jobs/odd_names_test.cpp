// odd_names_test.cpp - guards names the platform allows but a plain command text would misread: '*' and
// '?' (never wildcards here), a leading '-' (never a switch), '"' (refused with an "[NG]" line and no
// archiver call), newlines, backslashes, spaces and bytes that are not UTF-8. Each file is archived
// alone under its exact name or refused; no other file is ever archived, overwritten or deleted.
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

class OddNames : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        window.deleteState = 1;
        // Bystanders a misread name could catch.
        for (const char* name : {"a.txt", "ab.txt", "b", "x", "-", "--"}) WriteFile(dir / "w/" + name, name);
    }

    // Archives w/<name> alone and checks: one "[OK]" line for <base>.zip, the archive holds exactly that
    // name with its content, the source is deleted and every bystander is untouched.
    void ExpectArchivedAlone(const std::string& name, const std::string& archiveName) {
        SCOPED_TRACE(name);
        const std::string content = "content of " + name;
        WriteFile(dir / "w/" + name, content);
        File(dir / "w/" + name, dir / "w");

        ASSERT_EQ(window.lines.size(), 1u);
        EXPECT_EQ(window.lines[0], "[OK]" + dir / "w/" + archiveName);
        EXPECT_TRUE(UnzipTestPasses(dir / "w/" + archiveName));
        const auto entries = ReadZip(dir / "w/" + archiveName);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.begin()->first, name);
        EXPECT_EQ(entries.begin()->second.content, content);
        EXPECT_FALSE(Exists(dir / "w/" + name));
        for (const char* other : {"a.txt", "ab.txt", "b", "x", "-", "--"}) {
            if (other != name) {
                EXPECT_EQ(ReadFile(dir / "w/" + other), other) << other;
            }
        }
    }
};

TEST_F(OddNames, StarIsLiteral) {
    ExpectArchivedAlone("a*.txt", "a*.zip");
}

TEST_F(OddNames, LoneStarIsLiteral) {
    ExpectArchivedAlone("*", "*.zip");
}

TEST_F(OddNames, StarDotStarIsLiteral) {
    ExpectArchivedAlone("*.*", "*.zip");
}

TEST_F(OddNames, QuestionMarkIsLiteral) {
    ExpectArchivedAlone("?", "?.zip");
}

TEST_F(OddNames, LeadingDashIsNotASwitch) {
    ExpectArchivedAlone("-r", "-r.zip");
}

TEST_F(OddNames, SwitchLookingNamesAreNotSwitches) {
    ExpectArchivedAlone("-ir!*.*", "-ir!*.zip");
}

TEST_F(OddNames, DoubleDashNameIsAnOperand) {
    fs::remove(dir / "w/--");
    ExpectArchivedAlone("--", "--.zip");
}

TEST_F(OddNames, NewlineInName) {
    ExpectArchivedAlone("two\nlines.txt", "two\nlines.zip");
}

TEST_F(OddNames, BytesThatAreNotUtf8) {
    ExpectArchivedAlone("caf\xe9\xff.txt", "caf\xe9\xff.zip");
}

TEST_F(OddNames, BackslashIsAnOrdinaryByte) {
    ExpectArchivedAlone("back\\slash.txt", "back\\slash.zip");
}

TEST_F(OddNames, LeadingAndTrailingSpaces) {
    ExpectArchivedAlone(" lead trail .txt", " lead trail .zip");
}

TEST_F(OddNames, DoubleQuoteIsRefusedWithoutCallingTheArchiver) {
    WriteFile(dir / "w/say \"hi\".txt", "quoted");
    File(dir / "w/say \"hi\".txt", dir / "w");

    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "w/" + "say \"hi\".txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_EQ(ReadFile(dir / "w/say \"hi\".txt"), "quoted");
    EXPECT_FALSE(Exists(dir / "w/say \"hi\".zip"));
}

TEST_F(OddNames, DoubleQuoteInFolderRefusesEveryFileButNotOthers) {
    WriteFile(dir / "q\"d/one.txt", "1");
    WriteFile(dir / "q\"d/two.txt", "2");
    EachFile(dir / "q\"d", dir.path());
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "q\"d/" + "two.txt", "[NG]" + dir / "q\"d/" + "one.txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_EQ(ReadFile(dir / "q\"d/one.txt"), "1");

    window.lines.clear();
    Folder(dir / "q\"d");
    EXPECT_EQ(window.lines, (Lines{"[NG]" + dir / "q\"d/"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_EQ(ReadFile(dir / "q\"d/two.txt"), "2");
}

TEST_F(OddNames, WildcardFolderHoldsOnlyItsOwnTree) {
    WriteFile(dir / "f/*/in.txt", "in");
    WriteFile(dir / "f/x/out.txt", "out");
    Folder(dir / "f/*");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "f/*.zip"}));
    const auto names = ZipNames(dir / "f/*.zip");
    EXPECT_EQ(names, (Lines{"in.txt"}));
    EXPECT_FALSE(Exists(dir / "f/*"));
    EXPECT_EQ(ReadFile(dir / "f/x/out.txt"), "out");
}

TEST_F(OddNames, OddNamesInsideAWholeFolder) {
    const Lines names = {"-r", "?", "a*b", "nl\nname", "\xfe\xff", "sp ace"};
    for (const std::string& name : names) WriteFile(dir / "tree/" + name, name);
    Folder(dir / "tree");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "tree.zip"}));
    const auto entries = ReadZip(dir / "tree.zip");
    ASSERT_EQ(entries.size(), names.size());
    for (const std::string& name : names) EXPECT_EQ(entries.at(name).content, name);
    EXPECT_FALSE(Exists(dir / "tree"));
}

TEST_F(OddNames, OddNamesInThePerFileWalk) {
    const Lines walkNames = {"a*", "a?", "aa", "-x", "n\xe9"};
    for (const std::string& name : walkNames) WriteFile(dir / "walk/" + name, name);
    EachFile(dir / "walk", dir / "out-of-tree");
    // The destination does not exist: every call fails and nothing is deleted.
    EXPECT_EQ(window.lines.size(), 5u);
    for (const std::string& line : window.lines) EXPECT_EQ(line.rfind("[NG]", 0), 0u) << line;
    for (const std::string& name : walkNames) EXPECT_EQ(ReadFile(dir / "walk/" + name), name);

    fs::create_directory(dir / "out-of-tree");
    window.lines.clear();
    EachFile(dir / "walk", dir / "out-of-tree");
    EXPECT_EQ(window.lines.size(), 5u);
    for (const std::string& name : walkNames) {
        const auto entries = ReadZip(dir / "out-of-tree/" + name + ".zip");
        ASSERT_EQ(entries.size(), 1u) << name;
        EXPECT_EQ(entries.begin()->second.content, name);
        EXPECT_FALSE(Exists(dir / "walk/" + name));
    }
}

}  // namespace
