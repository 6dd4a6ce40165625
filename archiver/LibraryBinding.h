// LibraryBinding.h - internal: what the shared SevenZip() forwarding (mSevenZip32APIs.cpp) asks of its
// platform (mSevenZip32APIs_posix.cpp, mSevenZip32APIs_win32.cpp): binding the entry point from one file,
// the command in the library's text, and the call itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mSevenZip32APIs.h"

namespace mSevenZip32APIs::binding {

// The library's own declaration fixes the type looked up.
using Entry = decltype(&::SevenZip);

// Opens exactly `path` (a full path, so the loader does no search of its own) and looks up "SevenZip".
// Null, with `reason` set, on failure. The library stays loaded for the life of the process.
Entry Bind(const std::string& path, std::string& reason);

// `command` as the library takes it: the same bytes on POSIX systems; on Windows converted exactly from
// UTF-8 to the ANSI code page, nullopt when it does not convert.
std::optional<std::string> CommandForLibrary(const char* command);

// Calls the bound entry point with the platform's argument types.
int32_t Call(Entry entry, void* owner, const char* command, char* output, int32_t outputSize);

}  // namespace mSevenZip32APIs::binding
