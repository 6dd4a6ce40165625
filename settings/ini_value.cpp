// ini_value.cpp - text form, numeric test and 32-bit conversion of the values clsIniFile stores.
#include "ini_value.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace {

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t CountDigits(std::string_view text, size_t from) {
    size_t n = 0;
    while (from + n < text.size() && IsDigit(text[from + n])) ++n;
    return n;
}

// Length of the decimal number at the start of `text` (sign, digits, fraction, exponent); 0 if none.
size_t NumberLength(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t whole = CountDigits(text, i);
    i += whole;
    size_t fraction = 0;
    if (i < text.size() && text[i] == '.') {
        fraction = CountDigits(text, i + 1);
        if (whole + fraction > 0) i += 1 + fraction;
    }
    if (whole + fraction == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const size_t exponent = CountDigits(text, j);
        if (exponent > 0) i = j + exponent;
    }
    return i;
}

}  // namespace

std::string IniValueText(const IniValue& value) {
    if (const auto* text = std::get_if<std::string>(&value.v)) return *text;
    if (const auto* integer = std::get_if<int64_t>(&value.v)) return std::to_string(*integer);
    const double number = std::get<double>(value.v);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

bool IsNumericValue(const IniValue& value) {
    if (std::holds_alternative<int64_t>(value.v)) return true;
    if (const auto* number = std::get_if<double>(&value.v)) return std::isfinite(*number);
    std::string_view text = SkipBlanks(std::get<std::string>(value.v));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return !text.empty() && NumberLength(text) == text.size();
}

std::optional<int32_t> LeadingNumberToInt32(const std::string& text) {
    std::string_view rest = SkipBlanks(text);
    const size_t length = NumberLength(rest);
    if (length == 0) return 0;
    rest = rest.substr(0, length);
    const bool negative = rest.front() == '-';
    if (rest.front() == '+' || rest.front() == '-') rest.remove_prefix(1);
    double number = 0;
    const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double's range: a negative exponent means a fraction too small to matter, anything
        // else a number far beyond 32 bits.
        const size_t e = rest.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < rest.size() && rest[e + 1] == '-';
        if (!tiny) return std::nullopt;
        number = 0;
    } else if (result.ec != std::errc()) {
        return 0;
    }
    if (negative) number = -number;
    // Round to nearest; an exact half goes to the even neighbour ("2.5" -> 2, "3.5" -> 4, "-2.5" -> -2).
    const double below = std::floor(number);
    const double fraction = number - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1.0;
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(rounded);
}
