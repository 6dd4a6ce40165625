// WindowSettings.h - the four settings both windows keep in the profile file: read at start-up,
// written when the main window closes, through a fresh clsIniFile each time.
#pragma once

#include <string>

namespace forms {

// Section, keys and defaults.
inline constexpr const char* kSection = "Main";
inline constexpr const char* kKeyDelete = "Delete";
inline constexpr const char* kKeyEachFile = "CompEachFileAtSubFolder";
inline constexpr const char* kKeyExtension = "Extension";
inline constexpr const char* kKeyCommandLine = "CommandLine";
inline constexpr int kDefaultDelete = 0;
inline constexpr int kDefaultEachFile = 1;
inline constexpr const char* kDefaultExtension = ".zip";
inline constexpr const char* kDefaultCommandLine = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

struct WindowSettings {
    int deleteState = kDefaultDelete;      // chkDelete: 0, 1 or 2
    int eachFileState = kDefaultEachFile;  // chkEachFile: 0, 1 or 2
    std::string extension = kDefaultExtension;
    std::string commandLine = kDefaultCommandLine;
};

// A stored check box state as the box shows it: 0, 1 and 2 as they are; any other number counts as if
// the key were missing, so the key's default applies.
int CheckStateFromSetting(int stored, int defaultState);

// The settings in `file` (section "Main"), each key's default where it is missing; all defaults when
// `file` is empty. Values are read whole.
WindowSettings ReadWindowSettings(const std::string& file);

// The close-time write, in this order: Delete, CompEachFileAtSubFolder, Extension, then CommandLine as
// the file holds it now (its default when missing), so an edit made there while the tool ran survives
// and the tool itself never changes it. `settings.commandLine` is not written. Nothing is written for
// an empty `file`.
void WriteWindowSettings(const std::string& file, const WindowSettings& settings);

}  // namespace forms
