// mMain.cpp - start-up: the main window, the library check, the four settings, caption and position.
#include "mMain.h"

#include <memory>

#include "Twips.h"
#include "clsIniFile.h"
#include "executable_path.h"
#include "frmMain.h"
#include "pakuto_version.h"
#include "settings_location.h"

namespace mMain {

std::string strCommandLine;

namespace {

std::unique_ptr<frmMain> g_frmMain;

// Where the window stands on the screen, in twips.
constexpr int kWindowLeftTwips = 500;
constexpr int kWindowTopTwips = 500;

}  // namespace

QString VersionText() {
    return QStringLiteral("Pakuto Ver.%1.%2.%3")
        .arg(PAKUTO_VERSION_MAJOR)
        .arg(PAKUTO_VERSION_MINOR)
        .arg(PAKUTO_VERSION_PATCH);
}

StartupPaths CurrentStartupPaths() {
    StartupPaths paths;
    const std::string folder = ExecutableFolder();
    const std::string baseName = ExecutableBaseName();
    // Beside the executable, or the user's configuration folder for a copy that cannot write its own
    // folder. Without a known executable there is none: defaults apply and nothing is written.
    paths.settingsFile = SettingsFileLocation(folder, baseName);
    paths.library = mSevenZip32APIs::CurrentSearchPlaces();
    return paths;
}

int CheckStateFromSetting(int stored, int defaultState) {
    return stored >= 0 && stored <= 2 ? stored : defaultState;
}

StartupResult Main(const StartupPaths& paths) {
    ReleaseMainWindow();
    g_frmMain = std::make_unique<frmMain>();
    frmMain& window = *g_frmMain;
    if (!window.LoadHandler(paths.library)) {
        ReleaseMainWindow();
        return StartupResult::LibraryMissing;
    }

    if (!paths.settingsFile.empty()) {
        clsIniFile ini;
        ini.SetPathIniFile(paths.settingsFile);
        ini.SetSection(kSection);
        SetCheckValue(
            window.chkDelete,
            CheckStateFromSetting(ini.GetIntValue("", "", kKeyDelete, kDefaultDelete), kDefaultDelete));
        SetCheckValue(
            window.chkEachFile,
            CheckStateFromSetting(ini.GetIntValue("", "", kKeyEachFile, kDefaultEachFile), kDefaultEachFile));
        window.SetExtensionBytes(ini.GetStrValue("", "", kKeyExtension, kDefaultExtension));
        strCommandLine = ini.GetStrValue("", "", kKeyCommandLine, kDefaultCommandLine);
    } else {
        SetCheckValue(window.chkDelete, kDefaultDelete);
        SetCheckValue(window.chkEachFile, kDefaultEachFile);
        window.SetExtensionBytes(kDefaultExtension);
        strCommandLine = kDefaultCommandLine;
    }

    window.setWindowTitle(VersionText());
    window.move(TwipsToPixelsX(kWindowLeftTwips, &window), TwipsToPixelsY(kWindowTopTwips, &window));
    window.SetSettingsFile(paths.settingsFile);
    window.show();
    return StartupResult::Shown;
}

frmMain* MainWindow() {
    return g_frmMain.get();
}

void ReleaseMainWindow() {
    g_frmMain.reset();
}

}  // namespace mMain
