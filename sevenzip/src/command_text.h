// command_text.h - the entry point's text in and out: the caller's command turned into the UTF-8 the
// library works in, and its report turned back into the caller's encoding and fitted to its buffer.
// The caller's encoding is the file system's bytes (UTF-8) on Linux and the ANSI code page (CP_ACP) on
// Windows; command_text_posix.cpp and command_text_win32.cpp say how, the build picks one.
#pragma once

#include <cstddef>
#include <string>

namespace sevenzip {

// The command as UTF-8. Throws Failure(SEVENZIP_E_SYNTAX) when it is not valid text in the caller's
// encoding (on Windows, converted with MB_ERR_INVALID_CHARS).
std::string commandFromCaller(const char* command);

// Writes text (UTF-8) into output in the caller's encoding, cut where a whole character would not fit
// (never inside one) and NUL-terminated: never more than size bytes. A null output or size 0 receives
// nothing. Never throws.
void fillOutput(const std::string& text, char* output, size_t size) noexcept;

}  // namespace sevenzip
