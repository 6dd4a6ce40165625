// settings_location.h - which settings file a copy of the program uses.
//
// Windows (settings_location_win32.cpp): "<base name>.ini" beside the executable, always: executable
// folder + "\" + base name + ".ini" (for an executable in a drive root the separator is doubled, which
// the profile functions accept).
//
// POSIX systems (settings_location_posix.cpp): a copy whose folder holds its settings file, or whose
// folder it may write (a portable copy, a build tree), keeps "<base name>.ini" beside the executable. A
// copy installed for all users cannot write its own folder; its settings would be lost at every close,
// so it keeps them where per-user configuration lives: "$XDG_CONFIG_HOME/<base name>/<base name>.ini",
// with "$HOME/.config" when XDG_CONFIG_HOME is unset, empty or relative (as the XDG base-directory rules
// say). Same keys, same format in both places.
#pragma once

#include <string>

// The settings file for an executable in `exeFolder` named `baseName`. Creates nothing. On POSIX
// systems it reads the environment and the file system; when the per-user folder cannot be named
// (neither HOME nor XDG_CONFIG_HOME holds an absolute path), the file beside the executable, even if
// that folder is not writable. Empty only when `exeFolder` or `baseName` is empty.
std::string SettingsFileLocation(const std::string& exeFolder, const std::string& baseName);

// Makes sure the folder that will hold `settingsFile` exists; true when it exists afterwards. On POSIX
// systems the per-user folders are created with mode 0700 when missing; on Windows the folder is the
// executable's own and is only checked. Called only when settings are written, so a run that writes
// nothing leaves no trace.
bool PrepareSettingsFolder(const std::string& settingsFile);
