// frmMain.h - the main window as a native Win32 window: its controls as designed, the library check at
// load, the drop on lstResult, the About button, the settings written when it closes, and the window's
// side of the drop dispatch and the jobs (forms::DropWindow).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "DropDispatch.h"
#include "ScreenUnits.h"
#include "WindowSettings.h"

class frmMain final : public forms::DropWindow {
public:
    // Creates the window and its controls, hidden. Handle() is null when the system refused them.
    explicit frmMain(HINSTANCE instance);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    HWND Handle() const { return window_; }

    // The load handler: looks for the archiver library where this process may load it from. When
    // found, its path is what the first SevenZip call binds, and the result is true. When missing, the
    // error box is shown with no window of ours visible, and the result is false: the caller ends the
    // process without writing anything.
    bool LoadHandler();

    // Start-up: the settings into the controls and the command prefix, the file the unload handler
    // writes, the caption (the version text), the window's place in twips on the screen; then shows it.
    void ApplySettings(const forms::WindowSettings& settings, const std::string& settingsFile);
    void SetVersionCaption(const std::string& versionText);
    void MoveToTwips(int leftTwips, int topTwips);
    void Show(int showCommand);

    // True when `message` was a key press the window's tab order used (IsDialogMessage).
    bool TranslateDialogMessage(MSG& message);

    // forms::DropWindow (with mMain::JobWindow), by the part of the window each one reads or changes.
    // The boxes:
    std::string ExtensionText() const override;
    int DeleteState() const override;
    int EachFileState() const override;
    // lstResult:
    void ClearResults() override;
    void InsertResultLine(const std::string& line) override;
    int ResultListWidthTwips() const override;
    int TextWidthTwips(const std::string& text) const override;
    // The window itself:
    void* NativeHandle() const override;
    void SetWindowEnabled(bool enabled) override;
    void SetCaption(const std::string& caption) override;
    std::string VersionCaption() const override { return versionText_; }
    void RunPendingEvents() override;
    bool CloseRequested() const override { return closeRequested_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR subclassId, DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    HWND CreateControl(const wchar_t* className, DWORD style, DWORD exStyle, forms::MainControl control,
                       int id);
    void AddToolTip(HWND control, const char* text);

    // Event handlers.
    void lstResult_Drop(HDROP drop);
    void cmdAbout_Click();
    void CheckBox_Click(HWND box);
    void Form_Activate(bool active);
    // The unload handler: writes the four settings and destroys the window; during a dispatch the close
    // is held back until the dispatch has ended.
    void Form_Unload();
    // The four settings into the settings file (the unload handler's write).
    void WriteSettings() const;

    HINSTANCE instance_;
    win32::ScreenDpi dpi_;
    HFONT font_ = nullptr;
    HWND window_ = nullptr;
    HWND toolTips_ = nullptr;
    HWND lstResult_ = nullptr;
    HWND txtExtension_ = nullptr;
    HWND chkDelete_ = nullptr;
    HWND chkEachFile_ = nullptr;
    HWND cmdAbout_ = nullptr;
    HWND lblCaption0_ = nullptr;
    HWND focus_ = nullptr;  // the control that had the focus when the window was last deactivated

    std::string versionText_;
    std::string commandPrefix_;
    std::string settingsFile_;
    bool dispatching_ = false;
    bool closeRequested_ = false;
};
