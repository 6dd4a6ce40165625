// profile_lines.h - internal: splits profile file content into classified lines. Shared by the value
// lookup and the editor so both agree on what is a section, a key and a comment.
#pragma once

#include <string_view>
#include <vector>

#include "profile_names.h"

enum class ProfileLineKind { Blank, Comment, Section, Key, Other };

struct ProfileLine {
    std::string_view text;    // the line without its ending
    std::string_view ending;  // "\n", "\r\n" or empty (last line without a line break)
    ProfileLineKind kind;
    std::string_view name;   // section or key name, trimmed (Section and Key lines)
    std::string_view value;  // raw value after '=', trimmed, quotes still on (Key lines)
};

// Lines of `content` in order; a leading UTF-8 byte order mark stays in the first line's text but is
// not part of its classification. The views point into `content`.
std::vector<ProfileLine> SplitProfileLines(std::string_view content);

// ASCII case-insensitive equality of two names.
bool SameProfileName(std::string_view a, std::string_view b);

// `value` with one pair of matching enclosing quotes (' or ") removed.
std::string_view UnquoteProfileValue(std::string_view value);
