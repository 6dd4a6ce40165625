// command_text_test.cpp - guards the archiver command texts: the exact text of both job forms for
// ordinary names, and the names the plain text would misread (wildcard characters, a leading '-',
// a double quote, newlines and bytes that are not UTF-8).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ArchiverCommand.h"

namespace {

using mMain::FileCommand;
using mMain::FolderCommand;

const std::string kPrefix = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

TEST(FileCommandText, OrdinaryName) {
    EXPECT_EQ(FileCommand(kPrefix, "/work/a.zip", "/work/", "a.txt"),
              R"(a -tzip -hide -mx=9 -mfb=64 -mpass=4 "/work/a.zip" "/work/" "a.txt")");
}

TEST(FileCommandText, FileInRoot) {
    EXPECT_EQ(FileCommand(kPrefix, "/a.zip", "/", "a.txt"), kPrefix + R"( "/a.zip" "/" "a.txt")");
}

TEST(FileCommandText, SpacesStayInsideOneOperand) {
    EXPECT_EQ(FileCommand(kPrefix, "/my work/my notes.zip", "/my work/", "my notes.txt"),
              kPrefix + R"( "/my work/my notes.zip" "/my work/" "my notes.txt")");
}

TEST(FileCommandText, PrefixIsTakenAsItIs) {
    EXPECT_EQ(FileCommand("", "/w/a.zip", "/w/", "a.txt"), R"( "/w/a.zip" "/w/" "a.txt")");
    EXPECT_EQ(FileCommand("a -tzip -mx=1", "/w/a.zip", "/w/", "a.txt"),
              R"(a -tzip -mx=1 "/w/a.zip" "/w/" "a.txt")");
}

TEST(FileCommandText, WildcardCharactersMakeNamesLiteral) {
    EXPECT_EQ(FileCommand(kPrefix, "/w/a*.zip", "/w/", "a*.txt"),
              kPrefix + R"( -spd "/w/a*.zip" "/w/" "a*.txt")");
    EXPECT_EQ(FileCommand(kPrefix, "/w/q?.zip", "/w/", "q?"), kPrefix + R"( -spd "/w/q?.zip" "/w/" "q?")");
}

TEST(FileCommandText, WildcardInFolderOnlyNeedsNothing) {
    EXPECT_EQ(FileCommand(kPrefix, "/w*/a.zip", "/w*/", "a.txt"), kPrefix + R"( "/w*/a.zip" "/w*/" "a.txt")");
}

TEST(FileCommandText, LeadingDashEndsSwitches) {
    EXPECT_EQ(FileCommand(kPrefix, "/w/-r.zip", "/w/", "-r.txt"),
              kPrefix + R"( -- "/w/-r.zip" "/w/" "-r.txt")");
    EXPECT_EQ(FileCommand(kPrefix, "/w/-x*.zip", "/w/", "-x*"),
              kPrefix + R"( -spd -- "/w/-x*.zip" "/w/" "-x*")");
}

TEST(FileCommandText, DoubleQuoteCannotBeCarried) {
    EXPECT_EQ(FileCommand(kPrefix, "/w/a\"b.zip", "/w/", "a\"b.txt"), std::nullopt);
    EXPECT_EQ(FileCommand(kPrefix, "/w/ab.zip", "/w\"x/", "ab.txt"), std::nullopt);
    EXPECT_EQ(FileCommand(kPrefix, "/d\"/ab.zip", "/w/", "ab.txt"), std::nullopt);
}

TEST(FileCommandText, OtherBytesPassUnchanged) {
    const std::string name = "l1\nl2\xff\xfe\\.txt";
    EXPECT_EQ(FileCommand(kPrefix, "/w/x.zip", "/w/", name),
              kPrefix + " \"/w/x.zip\" \"/w/\" \"" + name + "\"");
}

TEST(FolderCommandText, OrdinaryFolder) {
    EXPECT_EQ(FolderCommand(kPrefix, "/work/docs.zip", "/work/docs/"),
              R"(a -tzip -hide -mx=9 -mfb=64 -mpass=4 "/work/docs.zip" "/work/docs//" "*.*" "-ir!*.*")");
}

TEST(FolderCommandText, FolderUnderRootKeepsDoubledSeparator) {
    EXPECT_EQ(FolderCommand(kPrefix, "//docs.zip", "/docs/"),
              kPrefix + R"( "//docs.zip" "/docs//" "*.*" "-ir!*.*")");
}

TEST(FolderCommandText, WildcardCharactersInFolderNeedNothing) {
    EXPECT_EQ(FolderCommand(kPrefix, "/w/d*?.zip", "/w/d*?/"),
              kPrefix + R"( "/w/d*?.zip" "/w/d*?//" "*.*" "-ir!*.*")");
}

TEST(FolderCommandText, LeadingDashMovesTheWalkSwitchBeforeTheEnd) {
    EXPECT_EQ(FolderCommand(kPrefix, "-d.zip", "-d/"), kPrefix + R"( "-ir!*.*" -- "-d.zip" "-d//" "*.*")");
}

TEST(FolderCommandText, DoubleQuoteCannotBeCarried) {
    EXPECT_EQ(FolderCommand(kPrefix, "/w/a\"b.zip", "/w/a\"b/"), std::nullopt);
    EXPECT_EQ(FolderCommand(kPrefix, "/w/ab.zip", "/w/a\"b/"), std::nullopt);
}

}  // namespace
