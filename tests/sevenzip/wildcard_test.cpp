// wildcard_test.cpp - guards the wildcard matcher's corners that a wrong match would turn into a wrong
// file archived: anchoring at both ends, backtracking over several '*', '?' taking one whole UTF-8
// character (or one stray byte), "*.*" taking names without a dot, and case sensitivity.
#include <gtest/gtest.h>

#include "wildcard.h"

using sevenzip::wildcardMatch;

TEST(Wildcard, MatchTable) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case table[] = {
        {"*.*", "noext", true},
        {"*.*", ".hidden", true},
        {"*", "", true},
        {"*.txt", "a.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"a*", "ba", false},
        {"*a*b*c", "xaybzc", true},
        {"*a*b*c", "xaybzcd", false},
        {"a*a*a", "aaaa", true},
        {"?", "é", true},
        {"??", "é", false},
        {"?.txt", "写.txt", true},
        {"?", "\xe9", true},
        {"?x", "\xe3\x81x", false},
        {"abc", "ABC", false},
        {"a?c", "ac", false},
        {"*.TXT", "a.txt", false},
        {"**", "anything", true},
        {"報告*.txt", "報告書.txt", true},
        {"*書.txt", "報告書.txt", true},
    };
    for (const Case& c : table)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}
