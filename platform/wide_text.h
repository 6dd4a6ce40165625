// wide_text.h - Windows text at the boundary between the tool's UTF-8 and the system's UTF-16 and ANSI
// code page.
//
// The tool keeps every text in UTF-8; the system's wide functions take UTF-16 and the profile functions
// and the archiver library take the ANSI code page (GetACP(), e.g. 932 for Japanese). Every conversion
// here is exact or refused: a text that does not convert exactly comes back as std::nullopt, never as a
// text with a replacement character, a best-fit look-alike ('e' for 'é', '\' for '¥' under 932) or '?'
// in it, because such a text would name another file, a folder separator or a wildcard.
//
// Refused (std::nullopt):
//   - invalid UTF-8: a stray or missing continuation byte, an overlong form, an encoded surrogate
//     (ED A0 80..ED BF BF) or a value above U+10FFFF;
//   - UTF-16 with a lone (unpaired) surrogate;
//   - a text that holds a NUL character: every system function that takes a name stops at it, so the
//     text would be read as a shorter, other name;
//   - for the ANSI code page: a character the code page cannot carry, or one whose bytes do not read
//     back as the same character.
// The empty text converts to the empty text. None of these functions throws except std::bad_alloc.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// UTF-8 -> UTF-16.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);

// UTF-16 -> UTF-8.
std::optional<std::string> Utf8FromWide(std::wstring_view wide);

// UTF-8 -> the ANSI code page, exactly: the result reads back (Utf8FromAnsi) as `utf8` itself.
std::optional<std::string> AnsiFromUtf8(std::string_view utf8);

// The ANSI code page -> UTF-8; bytes that are not valid text in the code page are refused.
std::optional<std::string> Utf8FromAnsi(std::string_view ansi);
