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

TEST(CommandText, FileForm) {
    struct {
        const char *name, *prefix, *archive, *folder, *file;
        std::optional<std::string> text;
    } const cases[] = {
        {"ordinary name", kPrefix.c_str(), "/work/a.zip", "/work/", "a.txt",
         R"(a -tzip -hide -mx=9 -mfb=64 -mpass=4 "/work/a.zip" "/work/" "a.txt")"},
        {"file in root", kPrefix.c_str(), "/a.zip", "/", "a.txt", kPrefix + R"( "/a.zip" "/" "a.txt")"},
        {"spaces stay inside one operand", kPrefix.c_str(), "/my work/my notes.zip", "/my work/",
         "my notes.txt", kPrefix + R"( "/my work/my notes.zip" "/my work/" "my notes.txt")"},
        {"empty prefix taken as it is", "", "/w/a.zip", "/w/", "a.txt", R"( "/w/a.zip" "/w/" "a.txt")"},
        {"other prefix taken as it is", "a -tzip -mx=1", "/w/a.zip", "/w/", "a.txt",
         R"(a -tzip -mx=1 "/w/a.zip" "/w/" "a.txt")"},
        {"'*' makes names literal", kPrefix.c_str(), "/w/a*.zip", "/w/", "a*.txt",
         kPrefix + R"( -spd "/w/a*.zip" "/w/" "a*.txt")"},
        {"'?' makes names literal", kPrefix.c_str(), "/w/q?.zip", "/w/", "q?",
         kPrefix + R"( -spd "/w/q?.zip" "/w/" "q?")"},
        {"wildcard in the folder only needs nothing", kPrefix.c_str(), "/w*/a.zip", "/w*/", "a.txt",
         kPrefix + R"( "/w*/a.zip" "/w*/" "a.txt")"},
        {"leading dash ends the switches", kPrefix.c_str(), "/w/-r.zip", "/w/", "-r.txt",
         kPrefix + R"( -- "/w/-r.zip" "/w/" "-r.txt")"},
        {"leading dash and wildcard", kPrefix.c_str(), "/w/-x*.zip", "/w/", "-x*",
         kPrefix + R"( -spd -- "/w/-x*.zip" "/w/" "-x*")"},
        {"quote in the name", kPrefix.c_str(), "/w/a\"b.zip", "/w/", "a\"b.txt", std::nullopt},
        {"quote in the folder", kPrefix.c_str(), "/w/ab.zip", "/w\"x/", "ab.txt", std::nullopt},
        {"quote in the archive", kPrefix.c_str(), "/d\"/ab.zip", "/w/", "ab.txt", std::nullopt},
        {"newline, backslash and non-UTF-8 bytes pass unchanged", kPrefix.c_str(), "/w/x.zip", "/w/",
         "l1\nl2\xff\xfe\\.txt", kPrefix + " \"/w/x.zip\" \"/w/\" \"l1\nl2\xff\xfe\\.txt\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileCommand(c.prefix, c.archive, c.folder, c.file), c.text) << c.name;
}

TEST(CommandText, FolderForm) {
    struct {
        const char *name, *archive, *folder;
        std::optional<std::string> text;
    } const cases[] = {
        {"ordinary folder", "/work/docs.zip", "/work/docs/",
         R"(a -tzip -hide -mx=9 -mfb=64 -mpass=4 "/work/docs.zip" "/work/docs//" "*.*" "-ir!*.*")"},
        {"folder under root keeps the doubled separator", "//docs.zip", "/docs/",
         kPrefix + R"( "//docs.zip" "/docs//" "*.*" "-ir!*.*")"},
        {"wildcards in the folder need nothing", "/w/d*?.zip", "/w/d*?/",
         kPrefix + R"( "/w/d*?.zip" "/w/d*?//" "*.*" "-ir!*.*")"},
        {"leading dash moves the walk switch before the end of switches", "-d.zip", "-d/",
         kPrefix + R"( "-ir!*.*" -- "-d.zip" "-d//" "*.*")"},
        {"quote in both", "/w/a\"b.zip", "/w/a\"b/", std::nullopt},
        {"quote in the folder", "/w/ab.zip", "/w/a\"b/", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderCommand(kPrefix, c.archive, c.folder), c.text) << c.name;
}

}  // namespace
