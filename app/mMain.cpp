// mMain.cpp - start-up: the main window, the library check, the four settings, caption and position.
#include "mMain.h"

#include <memory>

#include "FormDesign.h"
#include "Twips.h"
#include "WindowSettings.h"
#include "executable_path.h"
#include "frmMain.h"
#include "pakuto_version.h"
#include "settings_location.h"

namespace mMain {

std::string strCommandLine;

namespace {

std::unique_ptr<frmMain> g_frmMain;

}  // namespace

QString VersionText() {
    return QString::fromStdString(
        forms::VersionText(PAKUTO_VERSION_MAJOR, PAKUTO_VERSION_MINOR, PAKUTO_VERSION_PATCH));
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

StartupResult Main(const StartupPaths& paths) {
    ReleaseMainWindow();
    g_frmMain = std::make_unique<frmMain>();
    frmMain& window = *g_frmMain;
    if (!window.LoadHandler(paths.library)) {
        ReleaseMainWindow();
        return StartupResult::LibraryMissing;
    }

    const forms::WindowSettings settings = forms::ReadWindowSettings(paths.settingsFile);
    SetCheckValue(window.chkDelete, settings.deleteState);
    SetCheckValue(window.chkEachFile, settings.eachFileState);
    window.SetExtensionBytes(settings.extension);
    strCommandLine = settings.commandLine;

    window.setWindowTitle(VersionText());
    window.move(TwipsToPixelsX(forms::kMainLeftTwips, &window),
                TwipsToPixelsY(forms::kMainTopTwips, &window));
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
