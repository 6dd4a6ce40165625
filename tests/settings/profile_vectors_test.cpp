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
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == '\\')
            out += '\\';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            throw std::runtime_error("unknown escape in vector file: \\" + std::string(1, c));
        }
    }
    return out;
}

std::optional<std::string> Field(const std::string& text) {
    if (text == "<null>") return std::nullopt;
    return Unescape(text);
}

std::vector<VectorCase> LoadVectors() {
    std::vector<VectorCase> cases;
    std::ifstream in(PAKUTO_TEST_DATA_DIR "/profile-functions.tsv", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        if (fields.size() != 7) throw std::runtime_error("vector line without 7 fields: " + line);
        cases.push_back({fields[0], fields[1], Field(fields[2]), Field(fields[3]), Field(fields[4]),
                         Field(fields[5]), fields[6]});
    }
    return cases;
}

const std::vector<VectorCase>& Vectors() {
    static const std::vector<VectorCase> cases = LoadVectors();
    return cases;
}

// Where we differ from the platform on purpose.
enum class Compare { Exact, ReadWhole, BlankLinesKept };
struct Difference {
    Compare how;
    const char* why;
};
const std::map<std::string, Difference> kDeliberate = {
    {"read.long-300",
     {Compare::ReadWhole,
      "values are read whole: the platform stops at 254 bytes, and the tool writing such a cut value back "
      "at shutdown lost the rest"}},
    {"write.new-key-before-next-section",
     {Compare::BlankLinesKept,
      "blank lines are kept byte for byte; the platform drops them when it rewrites the file"}},
    {"write.keeps-comments",
     {Compare::BlankLinesKept,
      "blank lines are kept byte for byte; the platform drops them when it rewrites the file"}},
};

// Written files are compared with CRLF taken as LF: new lines are written with LF, existing lines keep
// their own endings, and the platform writes CRLF throughout.
std::string Lf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string WithoutBlankLines(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line.find_first_not_of(" \t\r\n") != std::string::npos) out += line;
        start = end;
    }
    return out;
}

size_t CountBlankLines(const std::string& text) {
    return Lf(text).size() - Lf(WithoutBlankLines(text)).size();
}

// "ret=3 str=.7z" -> {3, ".7z"}
std::pair<size_t, std::string> ParseStringResult(const std::string& result) {
    const size_t space = result.find(' ');
    if (!result.starts_with("ret=") || space == std::string::npos ||
        result.compare(space + 1, 4, "str=") != 0) {
        throw std::runtime_error("malformed string result: " + result);
    }
    return {std::stoul(result.substr(4, space - 4)), Unescape(result.substr(space + 5))};
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
    const Compare how = deliberate == kDeliberate.end() ? Compare::Exact : deliberate->second.how;
    if (deliberate != kDeliberate.end()) RecordProperty("deliberate_difference", deliberate->second.why);

    if (c.op == "string") {
        ASSERT_TRUE(c.arg.has_value());
        const auto [length, expected] = ParseStringResult(c.result);
        ASSERT_EQ(length, expected.size()) << "vector's length and text disagree";
        const std::string got = ReadProfileString(Name(c.section), Name(c.key), *c.arg, path);
        if (how == Compare::ReadWhole) {
            // The platform's answer is the first 254 bytes of the stored value; ours is all of it.
            const size_t eq = c.ini->find('=');
            const std::string whole = c.ini->substr(eq + 1, c.ini->find("\r\n", eq) - eq - 1);
            ASSERT_EQ(expected.size(), 254u);
            EXPECT_GT(got.size(), expected.size());
            EXPECT_EQ(got.substr(0, expected.size()), expected);
            EXPECT_EQ(got, whole);
        } else {
            EXPECT_EQ(got, expected);
        }
    } else if (c.op == "int") {
        ASSERT_TRUE(c.arg.has_value() && c.result.starts_with("int="));
        const int got = ReadProfileInt(Name(c.section), Name(c.key), std::stoi(*c.arg), path);
        EXPECT_EQ(got, std::stoi(c.result.substr(4)));
    } else if (c.op == "write") {
        ASSERT_TRUE(c.result.starts_with("file="));
        const std::string expected = Unescape(c.result.substr(5));
        ASSERT_TRUE(WriteProfileString(Name(c.section), Name(c.key), Name(c.arg), path));
        const std::string got = ReadBytes(path);
        if (how == Compare::BlankLinesKept) {
            EXPECT_EQ(Lf(WithoutBlankLines(got)), Lf(WithoutBlankLines(expected)));
            EXPECT_EQ(CountBlankLines(got), CountBlankLines(*c.ini)) << "a blank line was lost";
        } else {
            EXPECT_EQ(Lf(got), Lf(expected));
        }
    } else {
        FAIL() << "unknown operation in vector file: " << c.op;
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
