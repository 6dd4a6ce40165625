// ini_value.h - IniValue, the text-or-number value that clsIniFile writes, and the conversions the
// class applies to it: its text form, the numeric test and the 32-bit conversion.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

// A value to store: text, an integer or a floating-point number. Implicitly built from any of them, so
// SetValue(1, ...) and SetValue(std::string(".zip"), ...) both read naturally. bool is refused: a check
// box state is passed as its number.
struct IniValue {
    std::variant<std::string, int64_t, double> v;

    IniValue(std::string text) : v(std::move(text)) {}
    IniValue(const char* text) : v(std::string(text ? text : "")) {}
    IniValue(double number) : v(number) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) IniValue(T number) : v(ToStored(number)) {}
    IniValue(bool) = delete;

private:
    template <std::integral T>
    static std::variant<std::string, int64_t, double> ToStored(T number) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
            if (number > static_cast<T>(INT64_MAX)) return std::to_string(number);
        }
        return static_cast<int64_t>(number);
    }
};

// The text written to the file: the text itself, an integer in decimal, a floating-point number in its
// shortest exact decimal form ("2.5", "1e+20").
std::string IniValueText(const IniValue& value);

// True for numbers, and for texts that are a decimal number as a whole once surrounding spaces and
// tabs are dropped: optional sign, digits with an optional fraction, optional exponent ("12", " -3.5 ",
// "1e3", ".5"). Not-a-number and infinities are not numeric.
bool IsNumericValue(const IniValue& value);

// The leading number of the text (after spaces and tabs; the parse stops at the first character that
// cannot continue it; 0 when there is none), rounded to the nearest integer with ties to even
// ("2.5" -> 2, "3.5" -> 4). Empty when the rounded number does not fit a signed 32-bit integer.
std::optional<int32_t> LeadingNumberToInt32(const std::string& text);
