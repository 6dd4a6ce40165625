// command_parser.h - turns the command text into a Command, following the grammar in sevenzip32.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sevenzip {

// One base folder operand and the names that follow it; base "" is the current folder (names given
// before any base folder). -ir! wildcards are applied in every group's base folder.
struct NameGroup {
    std::string base;                // the base folder without trailing '/' ("/" for the root), or ""
    std::vector<std::string> names;  // names or wildcards relative to base, as given
};

struct Command {
    std::string archive;                 // the archive path, as given
    std::vector<NameGroup> groups;       // in the order given; never empty
    std::vector<std::string> recursive;  // the -ir! wildcards, applied in every group's base folder
    bool literalNames = false;           // -spd: '*' and '?' are ordinary characters
    int level = 5;                       // -mx
};

// Splits the text into tokens. Throws Failure(SEVENZIP_E_SYNTAX) on an unbalanced quote, a token over
// 64 KiB or a text over 4 MiB.
std::vector<std::string> tokenize(std::string_view text);

// Parses a whole command. Throws Failure(SEVENZIP_E_SYNTAX) with a message naming the bad token for:
// an unknown command or switch, a type other than zip, a number out of range, a missing archive path,
// an empty operand, no names and no -ir! wildcard, an -ir! wildcard that is empty or holds '/'.
Command parseCommand(std::string_view text);

}  // namespace sevenzip
