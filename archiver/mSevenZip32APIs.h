// mSevenZip32APIs.h - the archiver library's entry point as the tool calls it: locating lib7-zip32.so at
// start-up and binding SevenZip from exactly the file that was located.
//
// The tool never loads the archiver by name. Start-up asks FindArchiverLibrary() for the full path of the
// library, hands it to SetArchiverLibraryPath(), and the first SevenZip() call opens that exact file and
// looks up "SevenZip" in it. A library dropped later into some other folder the loader would search (the
// current folder above all) is never the one that runs.
//
// Not thread-safe beyond this: the binding itself is guarded, so concurrent calls bind once; the calls
// then run concurrently inside the library, which its own contract allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sevenzip32.h"  // the entry point's C declaration, result codes and command grammar

namespace mSevenZip32APIs {

// The library's file name on this platform.
inline constexpr const char* kArchiverLibraryName = "lib7-zip32.so";

// The result SevenZip() gives when the library cannot be bound at call time (no path set, the file is
// gone, is no loadable library, or lacks the entry point). Outside the library's own result codes, which
// are all >= 0, so a caller can tell the two apart; like them it counts as failure.
inline constexpr int32_t kArchiverNotBound = -1;

// Where the start-up search looks, in this order:
//   1. executableFolder
//   2. executableFolder/../lib (the installed layout: bin/ and lib/ side by side)
//   3. each folder of ldLibraryPath (':' or ';' separated, as the loader reads it)
//   4. systemFolders, in order
// Only absolute folders are searched. An empty or relative element never counts: to the loader it would
// mean the current working directory, and a library planted in whatever folder the user works in must not
// be taken. The current working directory is never searched.
struct LibrarySearchPlaces {
    std::string executableFolder;
    std::string ldLibraryPath;
    std::vector<std::string> systemFolders;
};

// The places of this process: the executable's folder, LD_LIBRARY_PATH (ignored for set-user-ID
// programs, as the loader ignores it), and SystemLibraryFolders().
LibrarySearchPlaces CurrentSearchPlaces();

// The platform's standard library folders, in this order: /usr/local/lib, /usr/lib/<multiarch>,
// /usr/lib, /lib/<multiarch>, /lib (the multiarch ones where the build names an architecture). The
// install puts the library in ../lib beside the executable; these cover a library installed by the
// system's packages.
std::vector<std::string> SystemLibraryFolders();

// True when path names an existing regular file (symbolic links followed) that is readable and whose
// name does not start with '.' (hidden). Folders, devices, FIFOs and sockets never count.
bool IsUsableLibraryFile(const std::string& path);

// The full path of the first usable lib7-zip32.so in the places' order, or empty when there is none.
// A candidate that exists but is not usable (a folder of that name, a FIFO, an unreadable file) is
// passed over and the search goes on.
std::string FindArchiverLibrary(const LibrarySearchPlaces& places);

// Sets the file the next SevenZip() call binds. Setting a different path than the one bound drops that
// binding (the old library stays mapped; it is only no longer called). An empty path unbinds.
void SetArchiverLibraryPath(const std::string& path);

// Runs one command through the library's ::SevenZip (same signature; see sevenzip32.h for the command
// grammar, the result codes and the output-buffer rules). Binds on first use from the path set with
// SetArchiverLibraryPath(), never by a search. When binding fails the result is kArchiverNotBound and, if
// output has room, it receives a one-line reason, NUL-terminated within outputSize.
int32_t SevenZip(void* owner, const char* command, char* output, int32_t outputSize);

}  // namespace mSevenZip32APIs
