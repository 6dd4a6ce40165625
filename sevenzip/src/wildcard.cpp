// wildcard.cpp - '*' and '?' matching over names as bytes, '?' stepping over whole UTF-8 characters.
#include "wildcard.h"

#include "utf8.h"

namespace sevenzip {
namespace {

// '?' takes one valid UTF-8 character, else one byte.
size_t characterLength(std::string_view text) {
    const size_t length = utf8CharLength(text);
    return length == 0 ? 1 : length;
}

}  // namespace

bool hasWildcard(std::string_view pattern) {
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") return true;
    // Iterative matching with one backtrack point: the last '*' seen and where in the name it resumes.
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name.substr(n));
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += characterLength(name.substr(starN));
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace sevenzip
