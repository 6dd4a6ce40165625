// profile_semantics_test.cpp - guards the meaning of profile files where the platform vectors do not
// reach: names passed with spaces or null, quotes that are not one matching pair, integers beyond 32
// bits, sections named twice, where new keys go, removal of duplicate keys and sections, lone carriage
// returns and NUL bytes, writes that would corrupt the file (refused whole), and that removing what is
// not there neither rewrites nor creates the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "profile_file.h"
#include "temp_folder.h"

namespace {

using std::nullopt;

struct ReadCase {
    const char* name;
    std::string file;
    ProfileName section, key;
    std::variant<std::string, int> expected;  // a string read (default "dflt") or an int read (default 3)
};

TEST(ProfileSemantics, Reads) {
    const ReadCase cases[] = {
        {"names passed with spaces are trimmed", "[Main]\nExtension=.7z\n", " Main ", "\tExtension ", ".7z"},
        {"quotes: only one pair", "[Main]\nC=''z''\n", "Main", "C", "'z'"},
        {"quotes of two kinds are no pair", "[Main]\nD=\"mixed'\n", "Main", "D", "\"mixed'"},
        {"a lone quote is no pair", "[Main]\nE=\"\n", "Main", "E", "\""},
        {"quote inside the value", "[Main]\nG=\"in\"side\"\n", "Main", "G", "in\"side"},
        {"null section", "[Main]\nDelete=1\n", nullopt, "Delete", "dflt"},
        {"null key", "[Main]\nDelete=1\n", "Main", nullopt, "dflt"},
        {"empty key", "[Main]\n=orphan\n", "Main", "", "dflt"},
        {"empty section", "[]\nX=2\n", "", "X", "dflt"},
        {"int with null section", "[Main]\nDelete=1\n", nullopt, "Delete", 3},
        {"int with null key", "[Main]\nDelete=1\n", "Main", nullopt, 3},
        {"int of an empty value", "[Main]\nK=\n", "Main", "K", 3},
        {"int clamped above", "[Main]\nK=99999999999\n", "Main", "K", 2147483647},
        {"int clamped below", "[Main]\nK=-99999999999\n", "Main", "K", -2147483647 - 1},
        {"negative hex", "[Main]\nK=-0x1F\n", "Main", "K", -31},
        {"hex without digits", "[Main]\nK=0x\n", "Main", "K", 0},
        {"int inside quotes and spaces", "[Main]\nK=' 8'\n", "Main", "K", 8},
        {"later section of the same name", "[Main]\nA=1\n[Other]\nB=2\n[main]\nB=3\n", "Main", "B", "3"},
        {"lone CR is no line break", "[Main]\rDelete=1\r", "Main", "Delete", 3},
        {"NUL bytes are ordinary bytes", std::string("[Main]\nA=x\0y\n\0\0\nB=2\n", 20), "Main", "A",
         std::string("x\0y", 3)},
        {"line after NUL bytes", std::string("[Main]\nA=x\0y\n\0\0\nB=2\n", 20), "Main", "B", 2},
    };
    for (const ReadCase& c : cases) {
        TempFolder folder;
        const std::string path = folder.File("pakuto.ini");
        WriteBytes(path, c.file);
        if (const auto* text = std::get_if<std::string>(&c.expected)) {
            EXPECT_EQ(ReadProfileString(c.section, c.key, "dflt", path), *text) << c.name;
        } else {
            EXPECT_EQ(ReadProfileInt(c.section, c.key, 3, path), std::get<int>(c.expected)) << c.name;
        }
    }
}

struct Edit {
    ProfileName section, key, value;
};
struct WriteCase {
    const char* name;
    std::string before;
    std::vector<Edit> edits;
    std::optional<std::string> after;  // nullopt: every edit is refused and the file stays as it was
};

TEST(ProfileSemantics, Writes) {
    const std::string crlf_file =
        "; settings of the tool\r\n\r\n[Window]\r\n  Left = 12 \r\njunk line without equals\r\n\r\n"
        "[Main]\r\n; the archive's extension\r\nExtension=.7z\r\nUnknown= keep me \r\n\r\n"
        "[Later]\tjunk after the bracket\r\nx=1";
    const WriteCase cases[] = {
        {"comments, blank lines, CRLF and unknown entries are kept",
         crlf_file,
         {{"Main", "Extension", ".zip"}, {"Main", "Delete", "1"}, {"Extra", "K", "v"}},
         "; settings of the tool\r\n\r\n[Window]\r\n  Left = 12 \r\njunk line without equals\r\n\r\n"
         "[Main]\r\n; the archive's extension\r\nExtension=.zip\r\nUnknown= keep me \r\nDelete=1\n\r\n"
         "[Later]\tjunk after the bracket\r\nx=1\n[Extra]\nK=v\n"},
        {"new key after the last entry, before blank lines",
         "[Main]\nDelete=0\n; trailing comment\n\n\n[Other]\nDelete=5\n",
         {{"Main", "Extension", ".zip"}},
         "[Main]\nDelete=0\n; trailing comment\nExtension=.zip\n\n\n[Other]\nDelete=5\n"},
        {"new key in a last section without final line break",
         "[Main]\r\nDelete=0",
         {{"Main", "Extension", ".zip"}},
         "[Main]\r\nDelete=0\nExtension=.zip\n"},
        {"section named twice: a key found in the later one is replaced there",
         "[Main]\nA=1\n[Other]\nB=2\n[main]\nB=3\n",
         {{"Main", "B", "4"}, {"Main", "C", "5"}},
         "[Main]\nA=1\nC=5\n[Other]\nB=2\n[main]\nB=4\n"},
        {"duplicate key: only the first is replaced",
         "[Main]\nExtension=.first\nEXTENSION=.second\n",
         {{"Main", "Extension", ".new"}},
         "[Main]\nExtension=.new\nEXTENSION=.second\n"},
        {"key removal takes every line of that key in the section",
         "[Main]\r\nDelete=0\r\nExtension=.7z\r\ndelete=9\r\n[Other]\r\nDelete=5\r\n",
         {{"Main", "Delete", nullopt}},
         "[Main]\r\nExtension=.7z\r\n[Other]\r\nDelete=5\r\n"},
        {"section removal takes every section of that name with its lines",
         "; top\n[A]\nx=1\n[Main]\n; inside\nDelete=0\n\n[B]\ny=2\n[MAIN]\nz=3\n",
         {{"Main", nullopt, nullopt}},
         "; top\n[A]\nx=1\n[B]\ny=2\n"},
        {"lone CRs: the header line holds them, the new key follows it",
         "[Main]\rDelete=1\r",
         {{"Main", "Delete", "2"}},
         "[Main]\rDelete=1\r\nDelete=2\n"},
        {"value with LF", "[Main]\nDelete=0\n", {{"Main", "Delete", "1\n[Evil]\nx=1"}}, nullopt},
        {"value with CR", "[Main]\nDelete=0\n", {{"Main", "Delete", "1\rx"}}, nullopt},
        {"value with NUL", "[Main]\nDelete=0\n", {{"Main", "Delete", std::string_view("1\0x", 3)}}, nullopt},
        {"key with '='", "[Main]\nDelete=0\n", {{"Main", "a=b", "1"}}, nullopt},
        {"key like a section", "[Main]\nDelete=0\n", {{"Main", "[x]", "1"}}, nullopt},
        {"key like a comment", "[Main]\nDelete=0\n", {{"Main", ";x", "1"}}, nullopt},
        {"blank key", "[Main]\nDelete=0\n", {{"Main", "  ", "1"}}, nullopt},
        {"section with ']'", "[Main]\nDelete=0\n", {{"Ma]in", "k", "1"}}, nullopt},
        {"section with LF", "[Main]\nDelete=0\n", {{"Ma\nin", "k", "1"}}, nullopt},
        {"empty section", "[Main]\nDelete=0\n", {{"", "k", "1"}}, nullopt},
        {"null section", "[Main]\nDelete=0\n", {{nullopt, "k", "1"}}, nullopt},
        {"all null", "[Main]\nDelete=0\n", {{nullopt, nullopt, nullopt}}, nullopt},
    };
    for (const WriteCase& c : cases) {
        TempFolder folder;
        const std::string path = folder.File("pakuto.ini");
        WriteBytes(path, c.before);
        for (const Edit& e : c.edits) {
            EXPECT_EQ(WriteProfileString(e.section, e.key, e.value, path), c.after.has_value()) << c.name;
        }
        EXPECT_EQ(ReadBytes(path), c.after.value_or(c.before)) << c.name;
    }
    TempFolder folder;
    EXPECT_FALSE(WriteProfileString("Main", "k", "1", "")) << "empty path";
}

TEST(ProfileSemantics, ValuesRoundTripWhole) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    for (const std::string value :
         {"a -tzip -hide -mx=9 -mfb=64 -mpass=4", "a;b # c", "圧縮 \"quoted\" inside", ""}) {
        ASSERT_TRUE(WriteProfileString("Main", "CommandLine", value, path)) << value;
        EXPECT_EQ(ReadProfileString("Main", "CommandLine", "dflt", path), value);
    }
}

TEST(ProfileSemantics, RemovingWhatIsNotThereNeitherRewritesNorCreates) {
    TempFolder folder;
    const std::string missing = folder.File("missing.ini");
    EXPECT_TRUE(WriteProfileString("Main", "Delete", nullopt, missing));
    EXPECT_TRUE(WriteProfileString("Main", nullopt, nullopt, missing));
    EXPECT_FALSE(std::filesystem::exists(missing)) << "removing from a missing file must not create it";

    const std::string path = folder.File("pakuto.ini");
    const std::string before = "[Main]\r\nDelete=0\r\n";
    WriteBytes(path, before);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const auto stamp = std::filesystem::last_write_time(path);
    const ino_t inode = st.st_ino;
    ASSERT_TRUE(WriteProfileString("Main", "Nope", nullopt, path));
    ASSERT_TRUE(WriteProfileString("Other", nullopt, nullopt, path));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode) << "the file was replaced although nothing changed";
}

}  // namespace
