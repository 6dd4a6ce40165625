// WinMain.cpp - the process entry: Main's start-up, then the window's messages until it is closed.
#include <windows.h>

#include <commctrl.h>

#include "FormDesign.h"
#include "ProgramVersion.h"
#include "WindowSettings.h"
#include "executable_path.h"
#include "frmMain.h"
#include "settings_location.h"

namespace {

// Start-up: the main window made hidden, its load handler's library check (a missing library ends the
// process before anything is shown or written), the settings into the controls and the command
// prefix, the caption, the place at 500/500 twips; then the window shows and its messages run until
// it is closed. The result is the process's exit code.
int Main(HINSTANCE instance, int showCommand) {
    frmMain window(instance);
    if (window.Handle() == nullptr) return 1;
    if (!window.LoadHandler()) return 1;

    const std::string settingsFile = SettingsFileLocation(ExecutableFolder(), ExecutableBaseName());
    window.ApplySettings(forms::ReadWindowSettings(settingsFile), settingsFile);

    const win32::ProgramVersion version = win32::ReadProgramVersion(ExecutablePath());
    window.SetVersionCaption(forms::VersionText(version.major, version.minor, version.patch));
    window.MoveToTwips(forms::kMainLeftTwips, forms::kMainTopTwips);
    window.Show(showCommand);

    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
        if (!window.TranslateDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return got == 0 ? static_cast<int>(message.wParam) : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    return Main(instance, showCommand);
}
