// mSevenZip32APIs.h - the archiver library's entry point as the tool calls it: locating the library
// (lib7-zip32.so; 7-zip32.dll on Windows) at start-up and binding SevenZip from exactly the file that was
// located. One source file per platform for the search (LibrarySearch_posix.cpp, _win32.cpp) and for the
// binding (mSevenZip32APIs_posix.cpp, _win32.cpp); the rest is shared (mSevenZip32APIs.cpp).
//
// The tool never loads the archiver by name. Start-up asks FindArchiverLibrary() for the full path of the
// library, hands it to SetArchiverLibraryPath(), and the first SevenZip() call opens that exact file and
// looks up "SevenZip" in it. A library dropped later into some other folder the loader would search (the
// current folder above all) is never the one that runs. On Windows the process also takes the current
// folder out of the system's DLL search (SetDllDirectoryW(L"") and the safe, permanent search mode of
// SetSearchPathMode), once, before its first search or load through these functions, and loads the
// library with LoadLibraryExW from its full path, its own imports resolved from its folder and the
// system folder only.
//
// Not thread-safe beyond this: the binding itself is guarded, so concurrent calls bind once; the calls
// then run concurrently inside the library, which its own contract allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sevenzip32.h"  // the entry point's C declaration, result codes and command grammar

namespace mSevenZip32APIs {

// The library's file name on this platform: "lib7-zip32.so", or "7-zip32.dll" on Windows.
extern const char kArchiverLibraryName[];

// The result SevenZip() gives when the library cannot be bound at call time (no path set, the file is
// gone, is no loadable library, or lacks the entry point). Outside the library's own result codes, which
// are all >= 0, so a caller can tell the two apart; like them it counts as failure.
inline constexpr int32_t kArchiverNotBound = -1;

// The result SevenZip() gives on Windows when the command does not convert exactly to the ANSI code page
// the library takes (GetACP(), e.g. 932): a name holding a character the code page cannot carry, or one
// it would only carry as a look-alike ('e' for 'é'), a separator ('\' for '¥') or a wildcard ('?').
// Such a command would name other files, so the library is not called at all. Never given on POSIX
// systems, where the command passes as the bytes it is. Counts as failure.
inline constexpr int32_t kCommandNotConvertible = -2;

// Where the start-up search looks, in this order.
// POSIX systems:
//   1. executableFolder
//   2. executableFolder/../lib (the installed layout: bin/ and lib/ side by side)
//   3. each folder of loaderPath (LD_LIBRARY_PATH: ':' or ';' separated, as the loader reads it)
//   4. systemFolders, in order
// Windows (SearchPathA in one folder at a time, so no folder's name is split or taken as another):
//   1. executableFolder
//   2. systemFolders, in order (the system folder, then the Windows folder)
//   loaderPath is not searched: PATH never counts, and CurrentSearchPlaces() leaves it empty.
// Only full paths are searched ("/..."; "C:\..." or "\\server\share\..." on Windows). An empty or
// relative element never counts: to the loader it would mean the current working directory, and a
// library planted in whatever folder the user works in must not be taken. The current working directory
// is never searched.
struct LibrarySearchPlaces {
    std::string executableFolder;
    std::string loaderPath;
    std::vector<std::string> systemFolders;
};

// The places of this process: the executable's folder; on POSIX systems LD_LIBRARY_PATH (ignored for
// set-user-ID programs, as the loader ignores it); and SystemLibraryFolders().
LibrarySearchPlaces CurrentSearchPlaces();

// The platform's standard library folders, in this order. POSIX systems: /usr/local/lib,
// /usr/lib/<multiarch>, /usr/lib, /lib/<multiarch>, /lib (the multiarch ones where the build names an
// architecture); the install puts the library in ../lib beside the executable, these cover a library
// installed by the system's packages. Windows: GetSystemDirectoryW, then GetWindowsDirectoryW.
std::vector<std::string> SystemLibraryFolders();

// True when path names an existing file the library may be loaded from. POSIX systems: a regular file
// (symbolic links followed) that is readable and whose name does not start with '.' (hidden); folders,
// devices, FIFOs and sockets never count. Windows: a file that is neither a folder nor hidden nor system
// by its attributes.
bool IsUsableLibraryFile(const std::string& path);

// The full path (UTF-8 on Windows) of the first usable library file in the places' order, or empty when
// there is none. A candidate that exists but is not usable (a folder of that name, a FIFO, an unreadable,
// hidden or system file) is passed over and the search goes on. On Windows a folder whose name does not
// convert exactly to the ANSI code page SearchPathA takes, or that holds ';', is passed over too.
std::string FindArchiverLibrary(const LibrarySearchPlaces& places);

// Sets the file the next SevenZip() call binds. Setting a different path than the one bound drops that
// binding (the old library stays mapped; it is only no longer called). An empty path unbinds.
void SetArchiverLibraryPath(const std::string& path);

// Runs one command (UTF-8 on Windows) through the library's ::SevenZip (see sevenzip32.h for the command
// grammar, the result codes and the output-buffer rules; on Windows `owner` is the HWND and the command
// goes to the library in the ANSI code page). Binds on first use from the path set with
// SetArchiverLibraryPath(), never by a search. When binding fails the result is kArchiverNotBound, when
// the command does not convert kCommandNotConvertible; then, if output has room, it receives a one-line
// reason, NUL-terminated within outputSize.
int32_t SevenZip(void* owner, const char* command, char* output, int32_t outputSize);

}  // namespace mSevenZip32APIs
