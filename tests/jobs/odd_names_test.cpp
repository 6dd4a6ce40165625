// odd_names_test.cpp - guards names the platform allows but a plain command text would misread: '*' and
// '?' (never wildcards here), a leading '-' (never a switch), '"' (refused with an "[NG]" line and no
// archiver call), newlines, backslashes, spaces and bytes that are not UTF-8. Each file is archived
// alone under its exact name or refused; no other file is ever archived, overwritten or deleted.
// (Every odd name at once, in both folder modes, is guarded in tests/faults.)
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
    }
};

// Each name archived alone from its own folder holding bystanders a misread name could catch: one
// "[OK]" line for the archive, which holds exactly that name with its content; the source is deleted
// and every bystander is untouched.
TEST_F(OddNames, EachIsArchivedAloneUnderItsExactName) {
    const std::pair<std::string, std::string> cases[] = {
        {"a*.txt", "a*.zip"},
        {"*", "*.zip"},
        {"*.*", "*.zip"},
        {"?", "?.zip"},
        {"-r", "-r.zip"},
        {"-ir!*.*", "-ir!*.zip"},
        {"--", "--.zip"},
        {"two\nlines.txt", "two\nlines.zip"},
        {"caf\xe9\xff.txt", "caf\xe9\xff.zip"},
        {"back\\slash.txt", "back\\slash.zip"},
        {" lead trail .txt", " lead trail .zip"},
    };
    const std::vector<std::string> bystanders = {"a.txt", "ab.txt", "b", "x", "-", "--"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [name, archive] = cases[i];
        SCOPED_TRACE(name);
        const std::string w = dir / ("w" + std::to_string(i) + "/");
        for (const std::string& other : bystanders) {
            if (other != name) WriteFile(w + other, other);
        }
        WriteFile(w + name, "content of " + name);
        window.lines.clear();
        File(w + name, w);

        ASSERT_EQ(window.lines, (Lines{"[OK]" + w + archive}));
        EXPECT_TRUE(UnzipTestPasses(w + archive));
        const auto entries = ReadZip(w + archive);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.begin()->first, name);
        EXPECT_EQ(entries.begin()->second.content, "content of " + name);
        EXPECT_FALSE(Exists(w + name));
        for (const std::string& other : bystanders) {
            EXPECT_TRUE(other == name || ReadFile(w + other) == other) << other;
        }
    }
}

// A '"' in a file's or a folder's name cannot be carried in the command: every job refuses it.
TEST_F(OddNames, DoubleQuoteIsRefusedWithoutCallingTheArchiver) {
    WriteFile(dir / "w/say \"hi\".txt", "quoted");
    WriteFile(dir / "q\"d/one.txt", "1");
    WriteFile(dir / "q\"d/two.txt", "2");
    File(dir / "w/say \"hi\".txt", dir / "w");
    EachFile(dir / "q\"d", dir.path());
    Folder(dir / "q\"d");

    EXPECT_EQ(window.lines,
              (Lines{"[NG]" + dir / "q\"d/", "[NG]" + dir / "q\"d/" + "two.txt",
                     "[NG]" + dir / "q\"d/" + "one.txt", "[NG]" + dir / "w/" + "say \"hi\".txt"}));
    EXPECT_EQ(ArchiverCalls(), 0);
    EXPECT_EQ(ReadFile(dir / "w/say \"hi\".txt"), "quoted");
    EXPECT_EQ(ReadFile(dir / "q\"d/one.txt"), "1");
    EXPECT_EQ(ReadFile(dir / "q\"d/two.txt"), "2");
    EXPECT_FALSE(Exists(dir / "w/say \"hi\".zip"));
}

TEST_F(OddNames, WildcardFolderHoldsOnlyItsOwnTree) {
    WriteFile(dir / "f/*/in.txt", "in");
    WriteFile(dir / "f/x/out.txt", "out");
    Folder(dir / "f/*");

    EXPECT_EQ(window.lines, (Lines{"[OK]" + dir / "f/*.zip"}));
    const auto entries = ReadZip(dir / "f/*.zip");
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at("in.txt").content, "in");
    EXPECT_FALSE(Exists(dir / "f/*"));
    EXPECT_EQ(ReadFile(dir / "f/x/out.txt"), "out");
}

}  // namespace
