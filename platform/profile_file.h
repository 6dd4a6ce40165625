// profile_file.h - profile (INI) files: read and write values in a text file of "[section]" headers and
// "key=value" lines through the platform's profile functions. One source file per platform:
//   - Windows (profile_file_win32.cpp): the system's own GetPrivateProfileStringA, GetPrivateProfileIntA
//     and WritePrivateProfileStringA. Names, values and the path are UTF-8 here and go to the system in
//     the ANSI code page (GetACP()); a text that does not convert exactly (wide_text.h) is never passed:
//     a read then gives the default, a write refuses (false, nothing written). Values the file holds in
//     bytes that are not valid text in the code page read as the default too.
//   - Elsewhere (profile_file_posix.cpp): the same semantics on a file of our own format, described with
//     the in-memory functions in profile_edit.h; writes replace the file atomically.
// Values are returned whole, whatever their length (not cut at a fixed buffer).
//
// Names as the functions take them: spaces and tabs around section and key names are dropped; names
// match without regard to ASCII case. None of these functions throws. Names and values are
// std::optional: std::nullopt is the "null" the platform functions accept, and selects the delete
// operations of WriteProfileString.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// <windows.h> defines WriteProfileString as the name of the system's win.ini writer; below it is ours.
// (Include <windows.h> before this header, or the macro comes back.)
#undef WriteProfileString

using ProfileName = std::optional<std::string_view>;

// The value of `key` in `section`. When the section or key is missing, null or empty, or the file
// cannot be read: `def` with its trailing spaces removed (as the platform does).
std::string ReadProfileString(ProfileName section, ProfileName key, std::string_view def,
                              const std::string& path);

// The integer at the start of the value of `key` ("12abc" -> 12, "abc" -> 0). `def` when the key is
// missing or its value is empty, or on the conditions ReadProfileString gives its default for.
int ReadProfileInt(ProfileName section, ProfileName key, int def, const std::string& path);

// With a value: sets `key` in `section` to `value`, creating the file and the section when needed.
// With a null value: removes the key. With a null key: removes the section; value ignored.
// Result false, file unchanged, when: the section is null or empty after trimming or holds ']' or a line
// break; the key is empty after trimming, starts with '[' or ';', or holds '=' or a line break; the
// value holds a line break or NUL (each would change the file's lines beyond this key); a text does not
// convert to the platform's code page; the file cannot be written. Removing what is not there succeeds.
bool WriteProfileString(ProfileName section, ProfileName key, ProfileName value, const std::string& path);

// True when something (a file or a folder) is at `path`: the question the settings class asks before
// it reads the file.
bool ProfilePathExists(const std::string& path);
