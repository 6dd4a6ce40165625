// settings_location.h - which settings file a copy of the program uses.
//
// A copy whose folder holds its settings file, or whose folder it may write (a portable copy, a build
// tree), keeps "<base name>.ini" beside the executable. A copy installed for all users cannot write its
// own folder; its settings would be lost at every close, so it keeps them where per-user configuration
// lives: "$XDG_CONFIG_HOME/<base name>/<base name>.ini", with "$HOME/.config" when XDG_CONFIG_HOME is
// unset, empty or relative (as the XDG base-directory rules say). Same keys, same format in both places.
#pragma once

#include <string>

// The settings file for an executable in `exeFolder` named `baseName`. Reads the environment and the
// file system; creates nothing. When the per-user folder cannot be named (neither HOME nor
// XDG_CONFIG_HOME holds an absolute path), the file beside the executable, even if that folder is not
// writable. Empty only when `exeFolder` or `baseName` is empty.
std::string SettingsFileLocation(const std::string& exeFolder, const std::string& baseName);

// Makes sure the folder that will hold `settingsFile` exists, creating the per-user folders with mode
// 0700 when missing. True when the folder exists afterwards. Called only when settings are written, so
// a run that writes nothing leaves no trace.
bool PrepareSettingsFolder(const std::string& settingsFile);
