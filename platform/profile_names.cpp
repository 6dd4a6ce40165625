// profile_names.cpp - the names and values a profile write accepts.
#include "profile_names.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HoldsAny(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != text.npos;
}

// Characters that would end the line early or change how it is classified when read back.
constexpr std::string_view kLineBreaks{"\r\n\0", 3};

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::string_view> UsableName(ProfileName name) {
    if (!name) return std::nullopt;
    const std::string_view trimmed = TrimBlanks(*name);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

std::optional<std::string_view> WritableSection(ProfileName section) {
    const auto name = UsableName(section);
    if (!name || HoldsAny(*name, kLineBreaks) || HoldsAny(*name, "]")) return std::nullopt;
    return name;
}

std::optional<std::string_view> WritableKey(ProfileName key) {
    const auto name = UsableName(key);
    if (!name || HoldsAny(*name, kLineBreaks) || HoldsAny(*name, "=")) return std::nullopt;
    if (name->front() == '[' || name->front() == ';') return std::nullopt;
    return name;
}

bool WritableValue(std::string_view value) {
    return !HoldsAny(value, kLineBreaks);
}

std::string DefaultAsRead(std::string_view def) {
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    return std::string(def);
}
