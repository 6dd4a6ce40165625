// profile_vectors_test.cpp - guards agreement with the platform's profile functions: every case in
// tests/data/profile-functions.tsv (what an independent implementation of the platform functions did
// with small files) is replayed against our layer on a real file, line by line. The few places where
// we differ on purpose are listed below, each with its reason, and compared accordingly.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "profile_file.h"
#include "temp_folder.h"

namespace {

struct VectorCase {
    std::string name, op;
    std::optional<std::string> ini, section, key, arg;
    std::string result;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const VectorCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Unescape(const std::string& text) {
    static const std::map<char, char> simple = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'\\', '\\'}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
        } else if (text[++i] == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (simple.contains(text[i])) {
            out += simple.at(text[i]);
        } else {
            throw std::runtime_error("unknown escape in vector file: \\" + std::string(1, text[i]));
        }
    }
    return out;
}

std::vector<VectorCase> LoadVectors() {
    const auto field = [](const std::string& text) -> std::optional<std::string> {
        if (text == "<null>") return std::nullopt;
        return Unescape(text);
    };
    std::vector<VectorCase> cases;
    std::ifstream in(PAKUTO_TEST_DATA_DIR "/profile-functions.tsv", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string> f;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            f.push_back(line.substr(start, tab - start));
        }
        f.push_back(line.substr(start));
        if (f.size() != 7) throw std::runtime_error("vector line without 7 fields: " + line);
        cases.push_back({f[0], f[1], field(f[2]), field(f[3]), field(f[4]), field(f[5]), f[6]});
    }
    return cases;
}

const std::vector<VectorCase>& Vectors() {
    static const std::vector<VectorCase> cases = LoadVectors();
    return cases;
}

// Where we differ from the platform on purpose, and why.
enum class Compare { Exact, ReadWhole, BlankLinesKept };
const char* const kBlankLinesWhy =
    "blank lines are kept byte for byte; the platform drops them when it rewrites the file";
const std::map<std::string, std::pair<Compare, const char*>> kDeliberate = {
    {"read.long-300",
     {Compare::ReadWhole,
      "values are read whole: the platform stops at 254 bytes, and the tool writing such a cut value back "
      "at shutdown lost the rest"}},
    {"write.new-key-before-next-section", {Compare::BlankLinesKept, kBlankLinesWhy}},
    {"write.keeps-comments", {Compare::BlankLinesKept, kBlankLinesWhy}},
};

// Written files are compared with CRLF taken as LF (new lines are written with LF, existing lines keep
// their own endings, and the platform writes CRLF throughout); `blank` says what to do with blank lines:
// keep them, drop them, or keep only them (to count them).
enum class Blank { Keep, Drop, Only };
std::string Lines(const std::string& text, Blank blank) {
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const bool ended = !in.eof();  // a last line without line break stays without one
        if (ended && !line.empty() && line.back() == '\r') line.pop_back();
        const bool is_blank = line.find_first_not_of(" \t\r") == std::string::npos;
        if (blank == Blank::Keep || (blank == Blank::Drop) != is_blank) out += ended ? line + "\n" : line;
    }
    return out;
}

ProfileName Name(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return std::string_view(*text);
}

class ProfileVector : public ::testing::TestWithParam<VectorCase> {};

TEST_P(ProfileVector, AgreesWithPlatform) {
    const VectorCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.File("settings.ini");
    if (c.ini) WriteBytes(path, *c.ini);
    const auto deliberate = kDeliberate.find(c.name);
    const Compare how = deliberate == kDeliberate.end() ? Compare::Exact : deliberate->second.first;
    if (deliberate != kDeliberate.end()) RecordProperty("deliberate_difference", deliberate->second.second);

    std::smatch m;
    if (c.op == "string" && std::regex_match(c.result, m, std::regex("ret=(\\d+) str=(.*)"))) {
        const std::string expected = Unescape(m[2]);
        ASSERT_EQ(std::stoul(m[1]), expected.size()) << "vector's length and text disagree";
        const std::string got = ReadProfileString(Name(c.section), Name(c.key), c.arg.value(), path);
        if (how == Compare::ReadWhole) {
            // The platform's answer is the first 254 bytes of the stored value; ours is all of it.
            const size_t eq = c.ini->find('=');
            ASSERT_EQ(expected.size(), 254u);
            EXPECT_EQ(got, c.ini->substr(eq + 1, c.ini->find("\r\n", eq) - eq - 1));
            EXPECT_GT(got.size(), expected.size());
            EXPECT_TRUE(got.starts_with(expected));
        } else {
            EXPECT_EQ(got, expected);
        }
    } else if (c.op == "int" && c.result.starts_with("int=")) {
        const int got = ReadProfileInt(Name(c.section), Name(c.key), std::stoi(c.arg.value()), path);
        EXPECT_EQ(got, std::stoi(c.result.substr(4)));
    } else if (c.op == "write" && c.result.starts_with("file=")) {
        const std::string expected = Unescape(c.result.substr(5));
        ASSERT_TRUE(WriteProfileString(Name(c.section), Name(c.key), Name(c.arg), path));
        const std::string got = ReadBytes(path);
        if (how == Compare::BlankLinesKept) {
            EXPECT_EQ(Lines(got, Blank::Drop), Lines(expected, Blank::Drop));
            EXPECT_EQ(Lines(got, Blank::Only), Lines(*c.ini, Blank::Only)) << "a blank line was lost";
        } else {
            EXPECT_EQ(Lines(got, Blank::Keep), Lines(expected, Blank::Keep));
        }
    } else {
        FAIL() << "malformed vector: " << c.op << " " << c.result;
    }
}

std::string CaseName(const ::testing::TestParamInfo<VectorCase>& info) {
    std::string name = info.param.name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(PlatformVectors, ProfileVector, ::testing::ValuesIn(Vectors()), CaseName);

// An unreadable or emptied vector file must not pass as "no cases, no failures".
TEST(ProfileVectorFile, HoldsCasesOfEveryOperation) {
    std::map<std::string, int> per_op;
    for (const VectorCase& c : Vectors()) ++per_op[c.op];
    EXPECT_GT(per_op["string"], 0);
    EXPECT_GT(per_op["int"], 0);
    EXPECT_GT(per_op["write"], 0);
    for (const auto& [name, difference] : kDeliberate) {
        const bool present = std::any_of(Vectors().begin(), Vectors().end(),
                                         [&](const VectorCase& c) { return c.name == name; });
        EXPECT_TRUE(present) << "deliberate difference listed for a case that no longer exists: " << name;
    }
}

}  // namespace
