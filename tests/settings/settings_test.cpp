// settings_test.cpp - the profile functions and clsIniFile on real files: agreement with the platform's
// functions (tests/data/profile-functions.tsv, replayed), clsIniFile's semantics, and writes that
// either change the file whole or leave it exactly as it was. Built for Windows too (tests/windows),
// where the profile functions are the system's own behind the code-page boundary.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "clsIniFile.h"
#include "profile_file.h"
#include "support.h"

namespace {

std::optional<std::string> Field(const std::string& text) {
    if (text == "<null>") return std::nullopt;
    std::string out;
    static const std::map<char, char> escapes = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'\\', '\\'}};
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (text[++i] == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += escapes.at(text[i]);
        }
    }
    return out;
}

ProfileName Name(const std::optional<std::string>& text) {
    return text ? ProfileName(*text) : std::nullopt;
}

// Lines with CRLF read as LF; blank lines dropped where the platform drops them on rewriting.
std::string Normal(const std::string& text, bool dropBlank) {
    std::string out = std::regex_replace(text, std::regex("\r\n"), "\n");
    return dropBlank ? std::regex_replace(out, std::regex("\n[ \t]*\n"), "\n") : out;
}

// Where the project differs on purpose: values are read whole (the platform stops at 254 bytes, and
// a cut value written back at shutdown lost the rest); blank lines are kept on rewriting.
TEST(Settings, AgreesWithPlatformVectors) {
    std::ifstream in(PAKUTO_TEST_DATA "/profile-functions.tsv", std::ios::binary);
    std::map<std::string, int> perOp;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
        ASSERT_EQ(f.size(), 7u) << line;
        SCOPED_TRACE(f[0]);
        ++perOp[f[1]];
        ts::TempDir dir;
        const std::string path = dir / "s.ini";
        if (Field(f[2])) ts::WriteFile(path, *Field(f[2]));
        const auto section = Field(f[3]), key = Field(f[4]), arg = Field(f[5]);
        std::smatch m;
        if (f[1] == "string" && std::regex_match(f[6], m, std::regex("ret=\\d+ str=(.*)"))) {
            const std::string got = ReadProfileString(Name(section), Name(key), *arg, path);
            const std::string expected = *Field(m[1]);
            if (f[0] == "read.long-300") {
                EXPECT_TRUE(expected.size() == 254u && got.size() > 254u && got.starts_with(expected));
                EXPECT_NE(Field(f[2])->find("=" + got + "\r\n"), std::string::npos);
            } else {
                EXPECT_EQ(got, expected);
            }
        } else if (f[1] == "int") {
            EXPECT_EQ(
                "int=" + std::to_string(ReadProfileInt(Name(section), Name(key), std::stoi(*arg), path)),
                f[6]);
        } else {
            ASSERT_EQ(f[1], "write");
            ASSERT_TRUE(WriteProfileString(Name(section), Name(key), Name(arg), path));
            EXPECT_EQ(Normal(ts::ReadFile(path), true), Normal(Field(f[6])->substr(5), true));
        }
    }
    EXPECT_GT(perOp["string"], 20);
    EXPECT_GT(perOp["int"], 5);
    EXPECT_GT(perOp["write"], 10);
}

TEST(Settings, IniFileSemantics) {
    ts::TempDir dir;
    const std::string path = dir / "s.ini";
    const std::string longValue(3000, 'v');
    ts::WriteFile(path, "[Main]\nDelete=12abc\nHex=0x10\nText=abc\nEmpty=\nLong=" + longValue + "\n");
    clsIniFile ini;
    ini.SetPathIniFile(path);
    EXPECT_EQ(ini.GetIntValue("", "", "Delete", 7), 7) << "no section set: the default";
    ini.SetSection("Main");
    const std::pair<const char*, int> ints[] = {
        {"Delete", 12}, {"Hex", 16}, {"Text", 0}, {"Empty", 5}, {"No", 5}};
    for (const auto& [key, value] : ints) EXPECT_EQ(ini.GetIntValue("", "", key, 5), value) << key;
    EXPECT_EQ(ini.GetStrValue("", "", "Long", ""), longValue);
    EXPECT_EQ(ini.GetStrValue("", "", "Empty", "d"), "");
    EXPECT_EQ(ini.GetStrValue("", "", "No", "d"), "d");
    EXPECT_EQ(ini.GetStrValue(dir / "none.ini", "", "Delete", "d"), "d");
    ini.SetKey("Extension");
    ini.SetStrValue(".7z");
    EXPECT_EQ(ReadProfileString("Main", "Extension", "", path), ".7z");
    EXPECT_TRUE(ini.SetValue(2.5, "", "", "Delete"));
    EXPECT_EQ(ini.lngValue(), 2);
    EXPECT_EQ(ini.strValue(), "2.5");
    EXPECT_FALSE(ini.SetValue(int64_t{1} << 40, "", "", "Big"));
    EXPECT_EQ(ini.lngValue(), 2);
    EXPECT_EQ(ReadProfileString("Main", "Big", "", path), std::to_string(int64_t{1} << 40));
    const std::string before = ts::ReadFile(path);
    EXPECT_FALSE(ini.SetValue("two\nlines", "", "", ""));
    EXPECT_EQ(ts::ReadFile(path), before);
    EXPECT_TRUE(ini.DeleteKey("", "", "Hex"));
    EXPECT_EQ(ini.GetStrValue("", "", "Hex", "gone"), "gone");
    EXPECT_FALSE(ini.strValue().has_value());
    EXPECT_TRUE(ini.DeleteSection("", ""));
    EXPECT_EQ(ini.GetStrValue("", "", "Long", "gone"), "gone");
}

struct WriteRow {
    const char* what;
    unsigned fileMode, folderMode;
    const char *section, *key, *value;
    bool written;
    bool unprivileged = true;
    ts::On on = ts::On::Both;
};

// Each write, made by an unprivileged user so permission bits apply (one row by the caller itself,
// who may be root): the file ends new and whole with its permission bits, or exactly as it was; no
// temporary file is left either way.
TEST(Settings, WritesAreWholeOrNothing) {
    const WriteRow rows[] = {
        {"plain", 0640, 0777, "Main", "Delete", "1", true, true, ts::On::Posix},
        {"new section", 0666, 0777, "Other", "Key", "v", true},
        {"unreadable file", 0200, 0777, "Main", "Delete", "1", false, true, ts::On::Posix},
        {"read-only file", 0444, 0777, "Main", "Delete", "1", false, true, ts::On::Posix},
        {"read-only file, own user (root too)", 0444, 0777, "Main", "Delete", "1", false, false,
         ts::On::Posix},
        {"read-only folder", 0666, 0555, "Main", "Delete", "1", false, true, ts::On::Posix},
        {"line break in value", 0666, 0777, "Main", "Delete", "1\r\n[X]", false},
        {"line break in key", 0666, 0777, "Main", "a\nb", "1", false},
        {"bracket in section", 0666, 0777, "Ma]in", "Delete", "1", false},
        {"key starts a section", 0666, 0777, "Main", "[Delete", "1", false},
        // Windows: the file is in the ANSI code page (932 under the tests); no look-alike is written.
        {"value not in the code page", 0666, 0777, "Main", "Extension", ".caf\xC3\xA9", false, true,
         ts::On::Windows},
        {"key not in the code page", 0666, 0777, "Main", "\xD7\x90", "1", false, true, ts::On::Windows},
    };
    for (const WriteRow& row : rows) {
        if (!ts::RunsHere(row.on)) continue;
        SCOPED_TRACE(row.what);
        ts::TempDir dir;
        const std::string folder = dir / "f", path = folder + "/s.ini";
        const std::string old = "; kept\r\n[Main]\r\nDelete=0\r\n\r\n[Unknown]\r\nx=y\r\n";
        const int result = ts::InChild(
            [&] {
                ts::MakeDir(folder);
                ts::WriteFile(path, old);
                chmod(path.c_str(), row.fileMode);
                chmod(folder.c_str(), row.folderMode);
                return WriteProfileString(row.section, row.key, row.value, path) ? 1 : 0;
            },
            row.unprivileged);
        EXPECT_EQ(result, row.written ? 1 : 0);
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, row.fileMode);
        EXPECT_EQ(ts::Tree(folder), std::vector<std::string>{"s.ini"});
        chmod(path.c_str(), 0600);
        const std::string now = ts::ReadFile(path);
        if (!row.written) {
            EXPECT_EQ(now, old);
        } else {
            EXPECT_EQ(ReadProfileString(row.section, row.key, "", path), row.value);
            EXPECT_NE(now.find("; kept\r\n"), std::string::npos);
            EXPECT_NE(now.find("[Unknown]\r\nx=y\r\n"), std::string::npos);
        }
    }
    ts::TempDir dir;
    ts::MakeDir(dir / "folder.ini");
    EXPECT_FALSE(WriteProfileString("Main", "Delete", "1", dir / "folder.ini"));
    EXPECT_EQ(ReadProfileString("Main", "Delete", "d", dir / "folder.ini"), "d");
}

}  // namespace
