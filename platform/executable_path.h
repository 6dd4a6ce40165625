// executable_path.h - where the running program lives: its full path, folder and base name.
//
// The program keeps its settings file beside itself and looks for the archiver library there first, so
// both start-up and the library search ask these functions. One source file per platform:
//   - POSIX systems read the kernel's /proc/self/exe link, which names the executable file itself
//     (symbolic links used to start it are already resolved); separator '/'.
//   - Windows asks GetModuleFileNameW for the executable's module and converts it to UTF-8; separator
//     '\'. A path that is not valid UTF-16 (a lone surrogate) counts as unreadable.
// Each call asks afresh; none of them throws.
#pragma once

#include <string>
#include <string_view>

// The separator of the platform's path text: '/' on POSIX systems, '\\' on Windows.
char PlatformPathSeparator();

// Full path of the running executable, e.g. "/opt/pakuto/bin/pakuto" or "C:\Pakuto\Pakuto.exe"; on
// POSIX systems still that path when the file was removed or replaced after the program started.
// Empty when it cannot be read (no /proc).
std::string ExecutablePath();

// Folder that holds the executable, without a trailing separator ("/opt/pakuto/bin", "C:\Pakuto",
// "\\server\share\Pakuto") except for a root: "/" on POSIX systems, "C:\" on Windows. Empty when
// ExecutablePath() is empty.
std::string ExecutableFolder();

// File name of the executable without its last extension: "pakuto" for ".../pakuto", "Pakuto" for
// "...\Pakuto.exe", "tool.v2" for ".../tool.v2.bin". A name that only starts with a dot (".pakuto") is
// kept whole. Empty when ExecutablePath() is empty.
std::string ExecutableBaseName();

// ExecutableFolder() + the platform's separator + ExecutableBaseName() + `extension`, as the folder
// reads: "/opt/pakuto/bin/pakuto.ini", "C:\Pakuto\Pakuto.ini", and "C:\\Pakuto.ini" for an executable
// in a drive root (the file functions take the doubled separator).
std::string PathBesideExecutable(std::string_view extension);
