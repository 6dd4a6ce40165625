// profile_semantics_test.cpp - guards the meaning of profile files as our layer reads and edits them:
// case-insensitive names, trimmed names and values, quote removal, where new keys and sections go,
// removal of keys and sections, and that every byte a write does not concern stays as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "profile_file.h"
#include "temp_folder.h"

namespace {

class ProfileSemantics : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder.File("pakuto.ini");

    std::string Read(const char* section, const char* key, const char* def = "dflt") {
        return ReadProfileString(section, key, def, path);
    }
    bool Write(const char* section, const char* key, const char* value) {
        return WriteProfileString(section, key, value, path);
    }
};

TEST_F(ProfileSemantics, NamesMatchWithoutRegardToCase) {
    WriteBytes(path, "[mAiN]\ndElEtE=1\n");
    EXPECT_EQ(Read("MAIN", "DELETE"), "1");
    EXPECT_EQ(Read("main", "delete"), "1");
    ASSERT_TRUE(Write("Main", "Delete", "0"));
    EXPECT_EQ(ReadBytes(path), "[mAiN]\ndElEtE=0\n") << "a key of another case must be replaced, not added";
}

TEST_F(ProfileSemantics, SpacesAndTabsAroundNamesAndValuesAreDropped) {
    WriteBytes(path, " \t[ Main\t] \n \tExtension \t= \t.7z \t\n");
    EXPECT_EQ(Read("Main", "Extension"), ".7z");
    EXPECT_EQ(Read(" Main ", "\tExtension "), ".7z") << "names passed with spaces are trimmed as well";
    EXPECT_EQ(Read("Main", "Extension "), ".7z");
}

TEST_F(ProfileSemantics, OnePairOfMatchingQuotesIsRemoved) {
    WriteBytes(path, "[Main]\nA=\"x\"\nB='y'\nC=''z''\nD=\"mixed'\nE=\"\nF= ' padded ' \nG=\"in\"side\"\n");
    EXPECT_EQ(Read("Main", "A"), "x");
    EXPECT_EQ(Read("Main", "B"), "y");
    EXPECT_EQ(Read("Main", "C"), "'z'") << "only one pair";
    EXPECT_EQ(Read("Main", "D"), "\"mixed'") << "quotes of different kinds are not a pair";
    EXPECT_EQ(Read("Main", "E"), "\"") << "a lone quote is not a pair";
    EXPECT_EQ(Read("Main", "F"), " padded ") << "spaces inside the quotes stay";
    EXPECT_EQ(Read("Main", "G"), "in\"side");
}

TEST_F(ProfileSemantics, CommentsBlankLinesAndUnknownEntriesSurviveWrites) {
    const std::string before =
        "; settings of the tool\r\n"
        "\r\n"
        "[Window]\r\n"
        "  Left = 12 \r\n"
        "junk line without equals\r\n"
        "\r\n"
        "[Main]\r\n"
        "; the archive's extension\r\n"
        "Extension=.7z\r\n"
        "Unknown= keep me \r\n"
        "\r\n"
        "[Later]\tjunk after the bracket\r\n"
        "x=1";
    WriteBytes(path, before);
    ASSERT_TRUE(Write("Main", "Extension", ".zip"));
    ASSERT_TRUE(Write("Main", "Delete", "1"));
    ASSERT_TRUE(Write("Extra", "K", "v"));
    const std::string expected =
        "; settings of the tool\r\n"
        "\r\n"
        "[Window]\r\n"
        "  Left = 12 \r\n"
        "junk line without equals\r\n"
        "\r\n"
        "[Main]\r\n"
        "; the archive's extension\r\n"
        "Extension=.zip\r\n"
        "Unknown= keep me \r\n"
        "Delete=1\n"
        "\r\n"
        "[Later]\tjunk after the bracket\r\n"
        "x=1\n"
        "[Extra]\n"
        "K=v\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(ProfileSemantics, NewKeyGoesAfterTheLastEntryOfItsSection) {
    WriteBytes(path, "[Main]\nDelete=0\n; trailing comment\n\n\n[Other]\nDelete=5\n");
    ASSERT_TRUE(Write("Main", "Extension", ".zip"));
    EXPECT_EQ(ReadBytes(path),
              "[Main]\nDelete=0\n; trailing comment\nExtension=.zip\n\n\n[Other]\nDelete=5\n");
    EXPECT_EQ(Read("Other", "Extension"), "dflt") << "the key must not leak into the next section";
}

TEST_F(ProfileSemantics, NewKeyInLastSectionWithoutFinalLineBreak) {
    WriteBytes(path, "[Main]\r\nDelete=0");
    ASSERT_TRUE(Write("Main", "Extension", ".zip"));
    EXPECT_EQ(ReadBytes(path), "[Main]\r\nDelete=0\nExtension=.zip\n");
    EXPECT_EQ(Read("Main", "Delete"), "0");
}

TEST_F(ProfileSemantics, NewSectionGoesToTheEndOfTheFile) {
    WriteBytes(path, "[A]\nx=1\n\n");
    ASSERT_TRUE(Write("Main", "Delete", "0"));
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n\n[Main]\nDelete=0\n");
}

TEST_F(ProfileSemantics, SectionMentionedTwiceIsSearchedInOrder) {
    WriteBytes(path, "[Main]\nA=1\n[Other]\nB=2\n[main]\nB=3\n");
    EXPECT_EQ(Read("Main", "B"), "3");
    ASSERT_TRUE(Write("Main", "B", "4"));
    EXPECT_EQ(ReadBytes(path), "[Main]\nA=1\n[Other]\nB=2\n[main]\nB=4\n");
    ASSERT_TRUE(Write("Main", "C", "5"));
    EXPECT_EQ(ReadBytes(path), "[Main]\nA=1\nC=5\n[Other]\nB=2\n[main]\nB=4\n");
}

TEST_F(ProfileSemantics, DeleteKeyRemovesEveryLineOfThatKeyInTheSection) {
    WriteBytes(path, "[Main]\r\nDelete=0\r\nExtension=.7z\r\ndelete=9\r\n[Other]\r\nDelete=5\r\n");
    ASSERT_TRUE(WriteProfileString("Main", "Delete", std::nullopt, path));
    EXPECT_EQ(ReadBytes(path), "[Main]\r\nExtension=.7z\r\n[Other]\r\nDelete=5\r\n");
    EXPECT_EQ(Read("Main", "Delete"), "dflt") << "a duplicate must not reappear after the removal";
}

TEST_F(ProfileSemantics, DeleteSectionRemovesItsLinesAndKeepsTheRest) {
    WriteBytes(path, "; top\n[A]\nx=1\n[Main]\n; inside\nDelete=0\n\n[B]\ny=2\n[MAIN]\nz=3\n");
    ASSERT_TRUE(WriteProfileString("Main", std::nullopt, std::nullopt, path));
    EXPECT_EQ(ReadBytes(path), "; top\n[A]\nx=1\n[B]\ny=2\n");
}

TEST_F(ProfileSemantics, RemovingWhatIsNotThereLeavesTheFileAlone) {
    const std::string before = "[Main]\r\nDelete=0\r\n";
    WriteBytes(path, before);
    const auto stamp = std::filesystem::last_write_time(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const ino_t inode = st.st_ino;
    ASSERT_TRUE(WriteProfileString("Main", "Nope", std::nullopt, path));
    ASSERT_TRUE(WriteProfileString("Other", std::nullopt, std::nullopt, path));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode) << "the file was replaced although nothing changed";
}

TEST_F(ProfileSemantics, MissingFileGivesDefaultsAndIsCreatedByAWriteOnly) {
    EXPECT_EQ(Read("Main", "Extension", ".zip"), ".zip");
    EXPECT_EQ(ReadProfileInt("Main", "Delete", 7, path), 7);
    EXPECT_TRUE(WriteProfileString("Main", "Delete", std::nullopt, path));
    EXPECT_TRUE(WriteProfileString("Main", std::nullopt, std::nullopt, path));
    EXPECT_FALSE(std::filesystem::exists(path)) << "removing from a missing file must not create it";
    ASSERT_TRUE(Write("Main", "Delete", "0"));
    EXPECT_EQ(ReadBytes(path), "[Main]\nDelete=0\n");
}

TEST_F(ProfileSemantics, ByteOrderMarkIsSkippedOnReadAndKeptOnWrite) {
    WriteBytes(path, "\xEF\xBB\xBF[Main]\nExtension=.7z\n");
    EXPECT_EQ(Read("Main", "Extension"), ".7z");
    ASSERT_TRUE(Write("Main", "Extension", ".zip"));
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF[Main]\nExtension=.zip\n");
}

TEST_F(ProfileSemantics, ValuesRoundTripWhole) {
    const std::string values[] = {
        "a -tzip -hide -mx=9 -mfb=64 -mpass=4",  // '=' inside
        "a;b # c",                               // comment characters inside
        "圧縮 \"quoted\" inside",                // UTF-8 and inner quotes
        std::string(10000, 'x') + "end",         // far beyond 254 bytes
        "",
    };
    for (const std::string& value : values) {
        ASSERT_TRUE(WriteProfileString("Main", "CommandLine", value, path));
        EXPECT_EQ(ReadProfileString("Main", "CommandLine", "dflt", path), value);
    }
}

TEST_F(ProfileSemantics, DefaultLosesTrailingSpacesOnly) {
    EXPECT_EQ(Read("Main", "Nope", "  d f  "), "  d f");
}

TEST_F(ProfileSemantics, NullOrEmptyNamesReadAsDefault) {
    WriteBytes(path, "[Main]\nDelete=1\n=orphan\n[]\nX=2\n");
    EXPECT_EQ(ReadProfileString(std::nullopt, "Delete", "d", path), "d");
    EXPECT_EQ(ReadProfileString("Main", std::nullopt, "d", path), "d");
    EXPECT_EQ(ReadProfileString("Main", "", "d", path), "d");
    EXPECT_EQ(ReadProfileString("", "X", "d", path), "d");
    EXPECT_EQ(ReadProfileInt(std::nullopt, "Delete", 4, path), 4);
    EXPECT_EQ(ReadProfileInt("Main", std::nullopt, 4, path), 4);
}

TEST_F(ProfileSemantics, IntegersReadLikeThePlatform) {
    WriteBytes(path,
               "[Main]\nEmpty=\nBig=99999999999\nSmall=-99999999999\nHexNeg=-0x1F\nBareHex=0x\nTab=\t 9\n"
               "Quoted=' 8'\nMax=2147483647\nMin=-2147483648\n");
    EXPECT_EQ(ReadProfileInt("Main", "Empty", 3, path), 3) << "an empty value carries no number";
    EXPECT_EQ(ReadProfileInt("Main", "Big", 3, path), 2147483647);
    EXPECT_EQ(ReadProfileInt("Main", "Small", 3, path), -2147483647 - 1);
    EXPECT_EQ(ReadProfileInt("Main", "HexNeg", 3, path), -31);
    EXPECT_EQ(ReadProfileInt("Main", "BareHex", 3, path), 0);
    EXPECT_EQ(ReadProfileInt("Main", "Tab", 3, path), 9);
    EXPECT_EQ(ReadProfileInt("Main", "Quoted", 3, path), 8);
    EXPECT_EQ(ReadProfileInt("Main", "Max", 3, path), 2147483647);
    EXPECT_EQ(ReadProfileInt("Main", "Min", 3, path), -2147483647 - 1);
}

// Names and values that would end the line early or change its meaning when read back are refused
// whole; the file is not touched.
TEST_F(ProfileSemantics, WritesThatWouldCorruptTheFileAreRefused) {
    const std::string before = "[Main]\nDelete=0\n";
    WriteBytes(path, before);
    EXPECT_FALSE(Write("Main", "Delete", "1\n[Evil]\nx=1"));
    EXPECT_FALSE(Write("Main", "Delete", "1\rx"));
    EXPECT_FALSE(WriteProfileString("Main", "Delete", std::string_view("1\0x", 3), path));
    EXPECT_FALSE(Write("Main", "a=b", "1"));
    EXPECT_FALSE(Write("Main", "[x]", "1"));
    EXPECT_FALSE(Write("Main", ";x", "1"));
    EXPECT_FALSE(Write("Main", "  ", "1"));
    EXPECT_FALSE(Write("Ma]in", "k", "1"));
    EXPECT_FALSE(Write("Ma\nin", "k", "1"));
    EXPECT_FALSE(Write("", "k", "1"));
    EXPECT_FALSE(WriteProfileString(std::nullopt, "k", "1", path));
    EXPECT_FALSE(WriteProfileString(std::nullopt, std::nullopt, std::nullopt, path));
    EXPECT_FALSE(WriteProfileString("Main", "k", "1", ""));
    EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
