// wildcard.h - name matching for the command's wildcards: '*' any run of characters, '?' one character.
//
// Matching is exact and case-sensitive, as names are on this platform. '?' takes one UTF-8 character
// when the name holds a valid one at that point, else one byte, so "?.txt" matches a Japanese
// one-character name. "*.*" matches every name, with or without a dot. A leading dot is an ordinary
// character: "*" matches hidden names too, since a folder archived whole must lose nothing.
#pragma once

#include <string_view>

namespace sevenzip {

bool hasWildcard(std::string_view pattern);
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace sevenzip
