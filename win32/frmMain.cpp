// frmMain.cpp - the main window: controls as designed, the load handler's library check, the drop on
// lstResult, the check boxes, the About button, the unload handler's settings write, and the DropWindow
// side the dispatch and the jobs use.
#include "frmMain.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>

#include "ControlIds.h"
#include "DesignFont.h"
#include "DisplayText.h"
#include "FormDesign.h"
#include "frmAbout.h"
#include "mSevenZip32APIs.h"
#include "settings_location.h"
#include "wide_text.h"

namespace {

// A fixed window with a single-line border, a caption with the close box, no minimize or maximize box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_BORDER;
constexpr DWORD kWindowExStyle = 0;
constexpr UINT_PTR kResultListSubclass = 1;

// A check box state as stored (0 unchecked, 1 checked, 2 grayed) and as the button holds it.
int CheckValue(HWND box) {
    switch (SendMessageW(box, BM_GETCHECK, 0, 0)) {
        case BST_CHECKED:
            return 1;
        case BST_INDETERMINATE:
            return 2;
        default:
            return 0;
    }
}

void SetCheckValue(HWND box, int value) {
    const WPARAM state = value == 2 ? BST_INDETERMINATE : value == 1 ? BST_CHECKED : BST_UNCHECKED;
    SendMessageW(box, BM_SETCHECK, state, 0);
}

bool RegisterMainClass(HINSTANCE instance, WNDPROC windowProc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(PAKUTO_ICON), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXICON),
                                                      GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(PAKUTO_ICON), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = PAKUTO_MAIN_CLASS;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

frmMain::frmMain(HINSTANCE instance) : instance_(instance), dpi_(win32::ReadScreenDpi()) {
    if (!RegisterMainClass(instance_, WindowProc)) return;
    const SIZE size = win32::WindowSizeForClient(forms::kMainClientWidthTwips, forms::kMainClientHeightTwips,
                                                 kWindowStyle, kWindowExStyle, dpi_);
    CreateWindowExW(kWindowExStyle, PAKUTO_MAIN_CLASS, L"", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    size.cx, size.cy, nullptr, nullptr, instance_, this);
    if (window_ == nullptr) return;
    CreateControls();
}

frmMain::~frmMain() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (font_ != nullptr) DeleteObject(font_);
}

// The controls in tab order (the order they are made in), then the label, each with its tool tip; then
// the window's font for all of them.
void frmMain::CreateControls() {
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);

    lstResult_ = CreateControl(WC_LISTBOXW, WS_VSCROLL | WS_TABSTOP | WS_GROUP | LBS_NOINTEGRALHEIGHT,
                               WS_EX_CLIENTEDGE, forms::kResultList, PAKUTO_ID_RESULT_LIST);
    SetWindowSubclass(lstResult_, ResultListProc, kResultListSubclass, reinterpret_cast<DWORD_PTR>(this));
    DragAcceptFiles(lstResult_, TRUE);

    txtExtension_ = CreateControl(WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE,
                                  forms::kExtensionBox, PAKUTO_ID_EXTENSION_BOX);
    // As long as the box can hold: the stored value is shown whole.
    SendMessageW(txtExtension_, EM_SETLIMITTEXT, 0, 0);

    // Three-state boxes that show a stored 2 grayed; a click only toggles between off and on
    // (CheckBox_Click), so the button does not cycle through the grayed state by itself.
    chkDelete_ =
        CreateControl(WC_BUTTONW, WS_TABSTOP | BS_3STATE, 0, forms::kDeleteBox, PAKUTO_ID_DELETE_BOX);
    chkEachFile_ =
        CreateControl(WC_BUTTONW, WS_TABSTOP | BS_3STATE, 0, forms::kEachFileBox, PAKUTO_ID_EACH_FILE_BOX);
    cmdAbout_ =
        CreateControl(WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0, forms::kAboutButton, PAKUTO_ID_ABOUT_BUTTON);
    lblCaption0_ = CreateControl(WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, forms::kExtensionLabel,
                                 PAKUTO_ID_EXTENSION_LABEL);

    font_ = win32::FitWindowFont(window_, dpi_, win32::DesignFontHeight(dpi_));
    focus_ = lstResult_;
}

HWND frmMain::CreateControl(const wchar_t* className, DWORD style, DWORD exStyle, forms::MainControl control,
                            int id) {
    const forms::ControlDesign& design = forms::MainDesign()[control];
    const RECT rect = win32::DesignRect(design, dpi_);
    const HWND handle = CreateWindowExW(
        exStyle, className, win32::WideText(design.caption).c_str(), WS_CHILD | WS_VISIBLE | style, rect.left,
        rect.top, rect.right - rect.left, rect.bottom - rect.top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    AddToolTip(handle, design.toolTip);
    return handle;
}

void frmMain::AddToolTip(HWND control, const char* text) {
    if (toolTips_ == nullptr || control == nullptr || text[0] == '\0') return;
    std::wstring wide = win32::WideText(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();  // copied by the tool tip control
    SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool frmMain::LoadHandler() {
    const std::string library = mSevenZip32APIs::FindArchiverLibrary(mSevenZip32APIs::CurrentSearchPlaces());
    if (!library.empty()) {
        mSevenZip32APIs::SetArchiverLibraryPath(library);
        return true;
    }
    MessageBoxW(nullptr, win32::WideText(forms::kLibraryMissingText).c_str(),
                win32::WideText(forms::kLibraryMissingTitle).c_str(), MB_ICONSTOP | MB_OK);
    return false;
}

void frmMain::ApplySettings(const forms::WindowSettings& settings, const std::string& settingsFile) {
    SetCheckValue(chkDelete_, settings.deleteState);
    SetCheckValue(chkEachFile_, settings.eachFileState);
    SetWindowTextW(txtExtension_, win32::WideText(settings.extension).c_str());
    commandPrefix_ = settings.commandLine;
    settingsFile_ = settingsFile;
}

void frmMain::SetVersionCaption(const std::string& versionText) {
    versionText_ = versionText;
    SetCaption(versionText_);
}

void frmMain::MoveToTwips(int leftTwips, int topTwips) {
    SetWindowPos(window_, nullptr, win32::TwipsToPixels(leftTwips, dpi_.x),
                 win32::TwipsToPixels(topTwips, dpi_.y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

bool frmMain::TranslateDialogMessage(MSG& message) {
    return window_ != nullptr && IsDialogMessageW(window_, &message);
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<frmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                switch (LOWORD(wParam)) {
                    case PAKUTO_ID_ABOUT_BUTTON:
                        cmdAbout_Click();
                        return 0;
                    case PAKUTO_ID_DELETE_BOX:
                    case PAKUTO_ID_EACH_FILE_BOX:
                        CheckBox_Click(reinterpret_cast<HWND>(lParam));
                        return 0;
                    default:
                        break;
                }
            }
            // Enter and Esc reach the window as IDOK and IDCANCEL; neither does anything here.
            return 0;
        case WM_ACTIVATE:
            Form_Activate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_SETFOCUS:
            if (focus_ != nullptr) SetFocus(focus_);
            return 0;
        case WM_CLOSE:
            Form_Unload();
            return 0;
        case WM_ENDSESSION:
            // The session ends and the process with it, without a close: the settings are written now.
            if (wParam) WriteSettings();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT CALLBACK frmMain::ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclassId, DWORD_PTR self) {
    switch (message) {
        case WM_DROPFILES:
            reinterpret_cast<frmMain*>(self)->lstResult_Drop(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(list, ResultListProc, subclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

// The drop handler of lstResult: reads the dropped names, answers the shell, and dispatches them. The
// list accepts no drop while the dispatch runs (events run between its items); a drop message that
// still arrives then, or while the window is disabled (the About box is open over it), is answered and
// ignored. A close asked for during the dispatch is carried out afterwards.
void frmMain::lstResult_Drop(HDROP drop) {
    if (dispatching_ || !IsWindowEnabled(window_)) {
        DragFinish(drop);
        return;
    }
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        // A name that is not valid UTF-16 (a lone surrogate) cannot be named to the jobs without naming
        // some other file; it is left out.
        if (std::optional<std::string> path = Utf8FromWide(name)) paths.push_back(std::move(*path));
    }
    DragFinish(drop);

    dispatching_ = true;
    DragAcceptFiles(lstResult_, FALSE);
    forms::DispatchDrop(*this, paths, commandPrefix_);
    DragAcceptFiles(lstResult_, TRUE);
    dispatching_ = false;
    if (closeRequested_) Form_Unload();
}

void frmMain::cmdAbout_Click() {
    frmAbout about(instance_, win32::FontHeight(font_), dpi_, versionText_);
    about.ShowModal(window_);
}

// A click toggles between unchecked and checked; a grayed box becomes checked.
void frmMain::CheckBox_Click(HWND box) {
    SetCheckValue(box, CheckValue(box) == 1 ? 0 : 1);
}

// Keeps the focused control across deactivation, as a dialog does, so keyboard users come back to it.
void frmMain::Form_Activate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
    } else if (focus_ != nullptr) {
        SetFocus(focus_);
    }
}

void frmMain::Form_Unload() {
    if (dispatching_) {
        closeRequested_ = true;
        return;
    }
    closeRequested_ = false;
    WriteSettings();
    DestroyWindow(window_);
}

void frmMain::WriteSettings() const {
    forms::WindowSettings settings;
    settings.deleteState = DeleteState();
    settings.eachFileState = EachFileState();
    settings.extension = ExtensionText();
    if (PrepareSettingsFolder(settingsFile_)) forms::WriteWindowSettings(settingsFile_, settings);
}

std::string frmMain::ExtensionText() const {
    return win32::Utf8Text(win32::WindowText(txtExtension_));
}

int frmMain::DeleteState() const {
    return CheckValue(chkDelete_);
}

int frmMain::EachFileState() const {
    return CheckValue(chkEachFile_);
}

void* frmMain::NativeHandle() const {
    return window_;
}

// Disabling the window takes the focus from its control; enabling it gives the focus back.
void frmMain::SetWindowEnabled(bool enabled) {
    if (!enabled) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
    }
    EnableWindow(window_, enabled ? TRUE : FALSE);
    if (enabled && GetActiveWindow() == window_ && focus_ != nullptr) SetFocus(focus_);
}

int frmMain::ResultListWidthTwips() const {
    RECT rect{};
    GetWindowRect(lstResult_, &rect);
    return win32::PixelsToTwips(rect.right - rect.left, dpi_.x);
}

// The width of the text as the list draws it, with the window's font.
int frmMain::TextWidthTwips(const std::string& text) const {
    const std::wstring wide = win32::WideText(text);
    SIZE size{};
    if (HDC dc = GetDC(lstResult_)) {
        const HGDIOBJ previous = SelectObject(dc, font_);
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, previous);
        ReleaseDC(lstResult_, dc);
    }
    return win32::PixelsToTwips(size.cx, dpi_.x);
}

void frmMain::InsertResultLine(const std::string& line) {
    SendMessageW(lstResult_, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(win32::WideText(line).c_str()));
}

void frmMain::ClearResults() {
    SendMessageW(lstResult_, LB_RESETCONTENT, 0, 0);
}

void frmMain::SetCaption(const std::string& caption) {
    SetWindowTextW(window_, win32::WideText(caption).c_str());
}

// Runs every message waiting for this thread, then returns. A quit message (the window is gone) is
// put back for the message loop.
void frmMain::RunPendingEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!TranslateDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
