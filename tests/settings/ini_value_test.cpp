// ini_value_test.cpp - guards the numeric side of clsIniFile's values: the text form written for
// numbers, which texts count as numbers, and the conversion to 32 bits (leading number, rounding to
// nearest with ties to even, refusal outside the 32-bit range).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "ini_value.h"

namespace {

TEST(IniValue, TextAsWritten) {
    const std::pair<IniValue, const char*> cases[] = {
        {-42, "-42"},
        {int64_t{5000000000}, "5000000000"},
        {std::numeric_limits<uint64_t>::max(), "18446744073709551615"},
        {2.5, "2.5"},
        {3.0, "3"},
        {0.1, "0.1"},
        {static_cast<const char*>(nullptr), ""}};
    for (const auto& [value, text] : cases) EXPECT_EQ(IniValueText(value), text) << text;
}

TEST(IniValue, WholeTextMustBeANumber) {
    for (const char* yes : {"12", " 12 ", "-3", "+3", "2.5", ".5", "5.", "1e3", "1E-3", "\t7\t", "007"}) {
        EXPECT_TRUE(IsNumericValue(std::string(yes))) << yes;
    }
    for (const char* no : {"", " ", "abc", "12abc", "1.2.3", "e5", ".", "-", "1e", "0x10", "1 2", "++1"}) {
        EXPECT_FALSE(IsNumericValue(std::string(no))) << no;
    }
    EXPECT_TRUE(IsNumericValue(7));
    EXPECT_TRUE(IsNumericValue(2.5));
    EXPECT_FALSE(IsNumericValue(std::nan("")));
    EXPECT_FALSE(IsNumericValue(std::numeric_limits<double>::infinity()));
}

// The leading number of the text, rounded to nearest with ties to even; nothing when it does not fit.
TEST(IniValue, ConversionTo32Bits) {
    // clang-format off
    const std::pair<std::string, std::optional<int32_t>> cases[] = {
        {"2.5", 2}, {"3.5", 4}, {"0.5", 0}, {"1.5", 2}, {"-0.5", 0}, {"-2.5", -2}, {"-3.5", -4},
        {"2.4999", 2}, {"2.5001", 3}, {"-0.6", -1}, {"1e3", 1000}, {"2.5e0", 2}, {"35e-1", 4},
        {"12abc", 12}, {"  7 apples", 7}, {"3.7.1", 4}, {"1e", 1}, {"abc", 0}, {"", 0}, {"inf", 0},
        {"nan", 0}, {"-", 0}, {"1e-999", 0}, {"2147483647", 2147483647}, {"2147483647.4", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()}, {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt}, {"2147483647.5", std::nullopt} /* rounds up to 2^31 */,
        {"5000000000", std::nullopt}, {"1e999", std::nullopt}, {std::string(400, '9'), std::nullopt}};
    // clang-format on
    for (const auto& [text, expected] : cases) EXPECT_EQ(LeadingNumberToInt32(text), expected) << text;
}

}  // namespace
