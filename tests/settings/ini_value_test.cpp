// ini_value_test.cpp - guards the numeric side of clsIniFile's values: the text form written for
// numbers, which texts count as numbers, and the conversion to 32 bits (leading number, rounding to
// nearest with ties to even, refusal outside the 32-bit range).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "ini_value.h"

namespace {

TEST(IniValueText, NumbersAndTextsAsWritten) {
    EXPECT_EQ(IniValueText(1), "1");
    EXPECT_EQ(IniValueText(-42), "-42");
    EXPECT_EQ(IniValueText(int64_t{5000000000}), "5000000000");
    EXPECT_EQ(IniValueText(std::numeric_limits<uint64_t>::max()), "18446744073709551615");
    EXPECT_EQ(IniValueText(2.5), "2.5");
    EXPECT_EQ(IniValueText(3.0), "3");
    EXPECT_EQ(IniValueText(0.1), "0.1");
    EXPECT_EQ(IniValueText(std::string(".zip")), ".zip");
    EXPECT_EQ(IniValueText(""), "");
    EXPECT_EQ(IniValueText(static_cast<const char*>(nullptr)), "");
}

TEST(IniValueNumericTest, WholeTextMustBeANumber) {
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

TEST(IniValueConversion, RoundsToNearestWithTiesToEven) {
    const std::pair<const char*, int32_t> cases[] = {
        {"2.5", 2},    {"3.5", 4},  {"0.5", 0},   {"1.5", 2}, {"-2.5", -2},  {"-3.5", -4}, {"2.4999", 2},
        {"2.5001", 3}, {"-0.5", 0}, {"-0.6", -1}, {"12", 12}, {"1e3", 1000}, {"2.5e0", 2}, {"35e-1", 4},
    };
    for (const auto& [text, expected] : cases) {
        const auto got = LeadingNumberToInt32(text);
        ASSERT_TRUE(got.has_value()) << text;
        EXPECT_EQ(*got, expected) << text;
    }
}

TEST(IniValueConversion, TakesTheLeadingNumberOfTheText) {
    EXPECT_EQ(LeadingNumberToInt32("12abc"), 12);
    EXPECT_EQ(LeadingNumberToInt32("  7 apples"), 7);
    EXPECT_EQ(LeadingNumberToInt32("3.7.1"), 4);
    EXPECT_EQ(LeadingNumberToInt32("1e"), 1);
    EXPECT_EQ(LeadingNumberToInt32("abc"), 0);
    EXPECT_EQ(LeadingNumberToInt32(""), 0);
    EXPECT_EQ(LeadingNumberToInt32("inf"), 0);
    EXPECT_EQ(LeadingNumberToInt32("nan"), 0);
    EXPECT_EQ(LeadingNumberToInt32("-"), 0);
    EXPECT_EQ(LeadingNumberToInt32("1e-999"), 0);
}

TEST(IniValueConversion, RefusesWhatDoesNotFit32Bits) {
    EXPECT_EQ(LeadingNumberToInt32("2147483647"), 2147483647);
    EXPECT_EQ(LeadingNumberToInt32("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(LeadingNumberToInt32("2147483647.4"), 2147483647);
    EXPECT_FALSE(LeadingNumberToInt32("2147483648").has_value());
    EXPECT_FALSE(LeadingNumberToInt32("-2147483649").has_value());
    EXPECT_FALSE(LeadingNumberToInt32("2147483647.5").has_value()) << "rounds up to 2^31";
    EXPECT_FALSE(LeadingNumberToInt32("5000000000").has_value());
    EXPECT_FALSE(LeadingNumberToInt32("1e999").has_value());
    EXPECT_FALSE(LeadingNumberToInt32(std::string(400, '9')).has_value());
}

}  // namespace
