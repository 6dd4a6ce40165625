// command_errors_test.cpp - guards against bad command text being misread: every malformed, unknown or
// out-of-range command gives its non-zero result and a message and writes no file; the output buffer is
// always NUL-terminated within its size and never written past it, whatever its size.
#include <gtest/gtest.h>

#include <cstring>

#include "sevenzip32.h"
#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

struct BadCommand {
    const char* why;
    std::string tail;  // after the archive path's folder is known; "@" stands for the test folder
    int32_t code;
};

std::string expand(const std::string& text, const std::string& folder) {
    std::string out;
    for (char c : text) out += c == '@' ? folder : std::string(1, c);
    return out;
}

}  // namespace

TEST(CommandErrors, TableOfBadCommands) {
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    const std::vector<BadCommand> table = {
        {"empty text", "", SEVENZIP_E_SYNTAX},
        {"only spaces", "    ", SEVENZIP_E_SYNTAX},
        {"unknown command", "x -tzip \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"extract command", "e \"@/x.zip\"", SEVENZIP_E_SYNTAX},
        {"unbalanced quote", "a -tzip \"@/x.zip\" \"@/\" \"a.txt", SEVENZIP_E_SYNTAX},
        {"unbalanced quote in switch", "a \"-tzip \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"other type", "a -t7z \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"unknown switch", "a -r \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"lone dash", "a - \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"level too high", "a -mx=10 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"level negative", "a -mx=-1 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"level not a number", "a -mx=high \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"level empty", "a -mx= \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"fast bytes too low", "a -mfb=2 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"fast bytes too high", "a -mfb=259 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"passes zero", "a -mpass=0 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"passes too high", "a -mpass=16 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"huge number", "a -mx=99999999999999999999 \"@/x.zip\" \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"empty -ir!", "a \"@/x.zip\" \"@/\" -ir!", SEVENZIP_E_SYNTAX},
        {"-ir! with a path", "a \"@/x.zip\" \"@/\" -ir!sub/*.txt", SEVENZIP_E_SYNTAX},
        {"no operands", "a -tzip -hide", SEVENZIP_E_SYNTAX},
        {"archive only", "a -tzip \"@/x.zip\"", SEVENZIP_E_SYNTAX},
        {"archive and base only", "a -tzip \"@/x.zip\" \"@/\"", SEVENZIP_E_SYNTAX},
        {"empty operand", "a \"@/x.zip\" \"@/\" \"\"", SEVENZIP_E_SYNTAX},
        {"archive is a folder path", "a \"@/\" a.txt", SEVENZIP_E_SYNTAX},
        {"name leaves the base", "a \"@/x.zip\" \"@/\" ../a.txt", SEVENZIP_E_SYNTAX},
        {"absolute name", "a \"@/x.zip\" \"@/\" \"@/a.txt\"", SEVENZIP_E_SYNTAX},
        {"name of only dots", "a \"@/x.zip\" \"@/\" ./.", SEVENZIP_E_SYNTAX},
        {"missing file", "a \"@/x.zip\" \"@/\" b.txt", SEVENZIP_E_NO_FILES},
        {"missing base folder", "a \"@/x.zip\" \"@/none/\" a.txt", SEVENZIP_E_NO_FILES},
        {"base folder is a file", "a \"@/x.zip\" \"@/a.txt/\" a.txt", SEVENZIP_E_NO_FILES},
        {"one of two names missing", "a \"@/x.zip\" \"@/\" a.txt b.txt", SEVENZIP_E_NO_FILES},
        {"archive folder missing", "a \"@/none/x.zip\" \"@/\" a.txt", SEVENZIP_E_WRITE},
    };
    for (const BadCommand& bad : table) {
        const CallResult result = sevenZip(expand(bad.tail, dir.path()));
        EXPECT_EQ(result.code, bad.code) << bad.why << ": " << result.output;
        EXPECT_FALSE(result.output.empty()) << bad.why;
        EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"a.txt"})) << bad.why;
    }
}

TEST(CommandErrors, HugeTokenIsRefused) {
    const std::string huge = "a -tzip \"/tmp/" + std::string(1 << 20, 'z') + ".zip\" a.txt";
    const CallResult result = sevenZip(huge);
    EXPECT_EQ(result.code, SEVENZIP_E_SYNTAX);
    EXPECT_LT(result.output.size(), 400u);
}

TEST(CommandErrors, HugeCommandOfSmallTokensIsRefused) {
    std::string huge = "a -tzip x.zip";
    while (huge.size() < (5u << 20)) huge += " y";
    const CallResult result = sevenZip(huge);
    EXPECT_EQ(result.code, SEVENZIP_E_SYNTAX) << result.output;
}

TEST(CommandErrors, NullCommandIsAnErrorNotACrash) {
    char buffer[64];
    EXPECT_EQ(SevenZip(nullptr, nullptr, buffer, sizeof buffer), SEVENZIP_E_SYNTAX);
    EXPECT_LT(std::strlen(buffer), sizeof buffer);
}

TEST(CommandErrors, OutputBufferIsNeverOverrun) {
    const std::string command = "a -tzip -nonsense x.zip y";
    EXPECT_EQ(SevenZip(nullptr, command.c_str(), nullptr, 0), SEVENZIP_E_SYNTAX);
    EXPECT_EQ(SevenZip(nullptr, command.c_str(), nullptr, 100), SEVENZIP_E_SYNTAX);
    for (int32_t size : {-5, 0, 1, 2, 7, 30}) {
        std::vector<char> buffer(40, '#');
        EXPECT_EQ(SevenZip(nullptr, command.c_str(), buffer.data() + 5, size), SEVENZIP_E_SYNTAX);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(buffer[i], '#') << size;
        const int32_t used = size > 0 ? size : 0;
        for (size_t i = 5 + static_cast<size_t>(used); i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], '#') << size;
        if (size > 0) {
            EXPECT_LT(std::strlen(buffer.data() + 5), static_cast<size_t>(size));
            EXPECT_EQ(std::strlen(buffer.data() + 5), static_cast<size_t>(size - 1));  // cut, not emptied
        }
    }
}

TEST(CommandErrors, MessageNamesTheOffendingToken) {
    const CallResult result = sevenZip("a -tzip -frobnicate x.zip y");
    EXPECT_NE(result.output.find("-frobnicate"), std::string::npos) << result.output;
}
