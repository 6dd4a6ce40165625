// profile_edit.h - POSIX systems: the profile functions of profile_file.h on a file of our own format,
// and the same operations on file content in memory (profile_edit.cpp) that they are built on.
//
// File format as read:
//   - Lines end with LF or CRLF; a UTF-8 byte order mark at the start is skipped. No code-page
//     conversion: names and values are bytes (UTF-8 in practice).
//   - "[name]" starts a section; text after the closing bracket is ignored. A line whose first
//     non-blank character is ';' is a comment. A line with '=' is a key: the name before the first '=',
//     the value after it. Any other line is ignored.
//   - Section and key names match without regard to ASCII case. Spaces and tabs around names and values
//     are dropped, then one pair of matching enclosing quotes (' or ") is removed from the value.
//   - The first matching key wins: earlier sections of the same name are searched before later ones.
//   - Values are returned whole, whatever their length.
//
// Writes change only what they must: an existing key's line is replaced where it stands (its line
// ending kept), a new key goes after the last non-blank line of its section, a new section at the end
// of the file. Every other byte (comments, blank lines, unknown sections and keys, CRLF endings, a BOM)
// is kept. New lines end with LF. The new content goes to a temporary file in the same folder, which is
// flushed to disk and renamed over the old file, so the file is at every moment either the old or the
// new content; the file's permission bits are kept. On failure the old file is untouched, the temporary
// file removed, and the result is false.
//
// A file that cannot be read (missing, a folder, no permission, larger than kMaxProfileFileBytes) reads
// as empty, so every read gives its default. A write refuses (result false, nothing changed) when the
// file exists but cannot be read, so content it could not see is never lost.
//
// Integers (ReadProfileInt, ParseProfileInt): optional sign, then decimal digits or "0x"/"0X" and hex
// digits; no digits gives 0 ("abc" -> 0, "12abc" -> 12, "2.9" -> 2); out-of-range values are clamped
// to the int range. Removals take every line of that key name in the section, or every section of that
// name with its lines. Removing what is not there neither touches nor creates the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "profile_file.h"

// Profile files larger than this are treated as unreadable. Settings files are a few hundred bytes; the
// limit keeps a mistaken path (a disk image, a log) from being loaded into memory, and a write then
// refuses instead of rewriting a file it did not read.
inline constexpr size_t kMaxProfileFileBytes = 16u << 20;

// The value as ReadProfileString finds it in `content`; std::nullopt when the key is missing.
std::optional<std::string> FindProfileValue(std::string_view content, ProfileName section, ProfileName key);

// The leading integer of a value as ReadProfileInt parses it; std::nullopt for an empty value.
std::optional<int> ParseProfileInt(std::string_view value);

// `content` with the change WriteProfileString describes applied; std::nullopt when the arguments are
// refused by the rules above.
std::optional<std::string> EditProfile(std::string_view content, ProfileName section, ProfileName key,
                                       ProfileName value);
