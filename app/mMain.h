// mMain.h - start-up: Main, the module-level state (the main window and strCommandLine), the settings'
// keys and defaults, and the version text.
//
// Main's steps can run in-process: the settings file and the places searched for the archiver library
// are passed in, and Main returns instead of ending the process, so the caller decides (main() returns
// at once when the library is missing; tests go on checking).
#pragma once

#include <QString>
#include <string>

#include "mSevenZip32APIs.h"

class frmMain;

namespace mMain {

// The settings: section and keys of the profile file, with their defaults.
inline constexpr const char* kSection = "Main";
inline constexpr const char* kKeyDelete = "Delete";
inline constexpr const char* kKeyEachFile = "CompEachFileAtSubFolder";
inline constexpr const char* kKeyExtension = "Extension";
inline constexpr const char* kKeyCommandLine = "CommandLine";
inline constexpr int kDefaultDelete = 0;
inline constexpr int kDefaultEachFile = 1;
inline constexpr const char* kDefaultExtension = ".zip";
inline constexpr const char* kDefaultCommandLine = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

// The archiver command prefix, read by Main from the settings; every job starts its command with it.
extern std::string strCommandLine;

// "Pakuto Ver." + major.minor.patch of the program's version.
QString VersionText();

// Where start-up looks: the settings file and the places of the library search.
struct StartupPaths {
    std::string settingsFile;
    mSevenZip32APIs::LibrarySearchPlaces library;
};

// This process's paths: the settings file <executable base name>.ini beside the executable (or in the
// user's configuration folder when the executable's folder is not writable) and CurrentSearchPlaces().
StartupPaths CurrentStartupPaths();

// A stored check box state as the box shows it: 0, 1 and 2 as they are; any other number (not a
// state a check box can have) counts as if the key were missing, so the key's default applies.
int CheckStateFromSetting(int stored, int defaultState);

enum class StartupResult { Shown, LibraryMissing };

// Start-up: creates the main window and keeps it as the module's main window, runs its load handler
// (the library check; on LibraryMissing the box has been shown, the window is released unshown and the
// settings file was neither read nor written), reads the four settings into the controls and
// strCommandLine, sets the caption, places the window at 500/500 twips and shows it. A main window left
// from an earlier call is released first.
StartupResult Main(const StartupPaths& paths);

// The main window Main created, or null.
frmMain* MainWindow();

// Destroys the main window without running its unload handler (the process is ending).
void ReleaseMainWindow();

}  // namespace mMain
