// mMain.h - start-up: Main, the module-level state (the main window and strCommandLine) and the version
// text. The settings' keys and defaults are forms/WindowSettings.h's.
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

// The archiver command prefix, read by Main from the settings; every job starts its command with it.
extern std::string strCommandLine;

// forms::VersionText of the program's version: "Pakuto Ver." + major.minor.patch.
QString VersionText();

// Where start-up looks: the settings file and the places of the library search.
struct StartupPaths {
    std::string settingsFile;
    mSevenZip32APIs::LibrarySearchPlaces library;
};

// This process's paths: the settings file <executable base name>.ini beside the executable (or in the
// user's configuration folder when the executable's folder is not writable) and CurrentSearchPlaces().
StartupPaths CurrentStartupPaths();

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
