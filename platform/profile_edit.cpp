// profile_edit.cpp - profile content in memory: finding a value, parsing an integer, and applying a
// write or a removal while keeping every byte the change does not concern.
#include <climits>
#include <cstdint>

#include "profile_edit.h"
#include "profile_lines.h"
#include "profile_names.h"

namespace {

// Lines [from, to) with their endings, byte for byte as they were.
std::string Join(const std::vector<ProfileLine>& lines, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) {
        out.append(lines[i].text);
        out.append(lines[i].ending);
    }
    return out;
}

// Marks, for each line, whether it lies in a section named `section` (headers included).
std::vector<bool> InSection(const std::vector<ProfileLine>& lines, std::string_view section) {
    std::vector<bool> inside(lines.size(), false);
    bool current = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == ProfileLineKind::Section) current = SameProfileName(lines[i].name, section);
        inside[i] = current;
    }
    return inside;
}

bool IsKeyLine(const ProfileLine& line, std::string_view key) {
    return line.kind == ProfileLineKind::Key && SameProfileName(line.name, key);
}

// Every line of `content` except those `drop` selects, byte for byte.
template <typename Drop>
std::string RemoveLines(std::string_view content, std::string_view section, Drop drop) {
    const auto lines = SplitProfileLines(content);
    const auto inside = InSection(lines, section);
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!(inside[i] && drop(lines[i]))) out.append(Join(lines, i, i + 1));
    }
    return out;
}

std::string SetKey(std::string_view content, std::string_view section, std::string_view key,
                   std::string_view value) {
    const auto lines = SplitProfileLines(content);
    const auto inside = InSection(lines, section);

    // An existing key: replace its line where it stands, keeping the name's spelling and the ending.
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!inside[i] || !IsKeyLine(lines[i], key)) continue;
        std::string out = Join(lines, 0, i);
        out.append(lines[i].name).append("=").append(value).append(lines[i].ending);
        out.append(Join(lines, i + 1, lines.size()));
        return out;
    }

    // An existing section: the new key follows its last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    std::optional<size_t> last;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (inside[i] && lines[i].kind == ProfileLineKind::Section && last) break;  // a later namesake
        if (inside[i] && lines[i].kind != ProfileLineKind::Blank) last = i;
        if (!inside[i] && last) break;
    }
    const std::string new_line = std::string(key) + "=" + std::string(value) + "\n";
    if (last) {
        const size_t at = *last;
        std::string out = Join(lines, 0, at + 1);
        if (lines[at].ending.empty()) out.append("\n");
        out.append(new_line);
        out.append(Join(lines, at + 1, lines.size()));
        return out;
    }

    // A new section at the end of the file.
    std::string out(content);
    if (!out.empty() && out.back() != '\n') out.append("\n");
    out.append("[").append(section).append("]\n").append(new_line);
    return out;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view content, ProfileName section, ProfileName key) {
    const auto section_name = UsableName(section);
    const auto key_name = UsableName(key);
    if (!section_name || !key_name) return std::nullopt;
    bool inside = false;
    for (const ProfileLine& line : SplitProfileLines(content)) {
        if (line.kind == ProfileLineKind::Section) inside = SameProfileName(line.name, *section_name);
        if (inside && IsKeyLine(line, *key_name)) return std::string(UnquoteProfileValue(line.value));
    }
    return std::nullopt;
}

std::optional<int> ParseProfileInt(std::string_view value) {
    if (value.empty()) return std::nullopt;
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';

    auto digit_value = [](char c, int base) -> int {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        return d < base ? d : -1;
    };
    int base = 10;
    if (i + 2 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X') &&
        digit_value(value[i + 2], 16) >= 0) {
        base = 16;
        i += 2;
    }
    // Accumulate with saturation: anything beyond the int range ends up clamped.
    int64_t magnitude = 0;
    for (; i < value.size(); ++i) {
        const int d = digit_value(value[i], base);
        if (d < 0) break;
        magnitude = magnitude * base + d;
        if (magnitude > int64_t{INT_MAX} + 1) magnitude = int64_t{INT_MAX} + 1;
    }
    const int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > INT_MAX) return INT_MAX;
    return static_cast<int>(signed_value);
}

std::optional<std::string> EditProfile(std::string_view content, ProfileName section, ProfileName key,
                                       ProfileName value) {
    const auto section_name = WritableSection(section);
    if (!section_name) return std::nullopt;
    if (!key) return RemoveLines(content, *section_name, [](const ProfileLine&) { return true; });
    const auto key_name = WritableKey(key);
    if (!key_name) return std::nullopt;
    if (!value) {
        return RemoveLines(content, *section_name,
                           [&](const ProfileLine& line) { return IsKeyLine(line, *key_name); });
    }
    if (!WritableValue(*value)) return std::nullopt;
    return SetKey(content, *section_name, *key_name, *value);
}
