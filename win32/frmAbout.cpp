// frmAbout.cpp - the About box: a dialog made from an empty in-memory template, laid out in twips when
// it loads.
#include "frmAbout.h"

#include <commctrl.h>

#include <utility>

#include "ControlIds.h"
#include "DesignFont.h"
#include "DisplayText.h"
#include "FormDesign.h"

namespace {

// A dialog border, a caption with the close box, no minimize or maximize box. Owned by the main
// window and without WS_EX_APPWINDOW, so it has no task bar button of its own.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

// The dialog template: DLGTEMPLATE (style, extended style, no items, position and size, all set at
// load), then no menu, the standard dialog class and an empty title, as 16-bit words on a DWORD
// boundary.
struct alignas(DWORD) EmptyDialogTemplate {
    WORD words[12];
};

constexpr EmptyDialogTemplate kTemplate{{
    LOWORD(kDialogStyle), HIWORD(kDialogStyle),  // style
    0, 0,                                        // extended style
    0,                                           // no items
    0, 0, 0, 0,                                  // x, y, cx, cy
    0,                                           // no menu
    0,                                           // the standard dialog class
    0,                                           // empty title
}};

// The window's size for the designed client area, centred on the owner's window.
RECT CentredOnOwner(HWND dialog, win32::ScreenDpi dpi) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    const SIZE size = win32::WindowSizeForClient(forms::kAboutClientWidthTwips,
                                                 forms::kAboutClientHeightTwips, style, exStyle, dpi);
    RECT owner{};
    if (HWND ownerWindow = GetWindow(dialog, GW_OWNER)) GetWindowRect(ownerWindow, &owner);
    const LONG left = owner.left + (owner.right - owner.left - size.cx) / 2;
    const LONG top = owner.top + (owner.bottom - owner.top - size.cy) / 2;
    return RECT{left, top, left + size.cx, top + size.cy};
}

}  // namespace

frmAbout::frmAbout(HINSTANCE instance, LONG fontHeight, win32::ScreenDpi dpi, std::string versionText)
    : instance_(instance), fontHeight_(fontHeight), dpi_(dpi), versionText_(std::move(versionText)) {}

frmAbout::~frmAbout() {
    if (font_ != nullptr) DeleteObject(font_);
}

void frmAbout::ShowModal(HWND owner) {
    DialogBoxIndirectParamW(instance_, reinterpret_cast<const DLGTEMPLATE*>(&kTemplate), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK frmAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            reinterpret_cast<frmAbout*>(lParam)->Form_Load(dialog);
            return FALSE;  // no element takes the focus
        case WM_COMMAND:
            // Esc and the close box arrive as IDCANCEL; Enter arrives as IDOK and is ignored.
            if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

void frmAbout::Form_Load(HWND dialog) {
    SetWindowTextW(dialog, win32::WideText(forms::kAboutTitle).c_str());
    const RECT place = CentredOnOwner(dialog, dpi_);
    SetWindowPos(dialog, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    const auto& design = forms::AboutDesign();
    for (size_t i = 0; i < design.size(); ++i) {
        const RECT rect = win32::DesignRect(design[i], dpi_);
        const std::string text = i == 0 ? versionText_ : std::string(design[i].caption);
        CreateWindowExW(0, WC_STATICW, win32::WideText(text).c_str(),
                        WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(PAKUTO_ID_ABOUT_LABEL0 + i)), instance_,
                        nullptr);
    }
    if (font_ != nullptr) DeleteObject(font_);
    font_ = win32::FitWindowFont(dialog, dpi_, fontHeight_);
}
