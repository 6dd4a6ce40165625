// DesignFont.cpp - the design font, made and lowered until the captions fit.
#include "DesignFont.h"

#include <commctrl.h>

#include <string>

#include "DisplayText.h"

namespace win32 {

namespace {

constexpr int kPointsPerInch = 72;

HFONT CreateDesignFont(LONG height) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;  // 400
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    WideText(forms::kFontFamily).copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

BOOL CALLBACK SetFontOnChild(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

void SetFontOnTree(HWND window, HFONT font) {
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnumChildWindows(window, SetFontOnChild, reinterpret_cast<LPARAM>(font));
}

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    return CompareStringOrdinal(className, -1, name, -1, TRUE) == CSTR_EQUAL;
}

bool IsCheckBox(HWND window) {
    if (!HasClass(window, WC_BUTTONW)) return false;
    switch (GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

// The width `text` takes in the font the control draws with, in pixels.
LONG TextWidth(HWND control, const std::wstring& text) {
    SIZE size{};
    if (HDC dc = GetDC(control)) {
        const HGDIOBJ previous =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
    }
    return size.cx;
}

// Clears *fits when the caption of a label or check box is cut in its control.
BOOL CALLBACK CheckCaption(HWND child, LPARAM fits) {
    const std::wstring text = WindowText(child);
    if (text.empty()) return TRUE;
    RECT client{};
    GetClientRect(child, &client);
    LONG needed = 0;
    if (IsCheckBox(child)) {
        // The check mark, the gap after it, then the caption.
        needed = GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE) + TextWidth(child, text);
    } else if (HasClass(child, WC_STATICW)) {
        needed = TextWidth(child, text);
    }
    if (needed > client.right) *reinterpret_cast<bool*>(fits) = false;
    return TRUE;
}

bool CaptionsFit(HWND window) {
    bool fits = true;
    EnumChildWindows(window, CheckCaption, reinterpret_cast<LPARAM>(&fits));
    return fits;
}

}  // namespace

LONG DesignFontHeight(ScreenDpi dpi) {
    return -MulDiv(forms::kFontPoints, dpi.y, kPointsPerInch);
}

LONG FontHeight(HFONT font) {
    LOGFONTW description{};
    return GetObjectW(font, sizeof description, &description) == sizeof description ? description.lfHeight
                                                                                    : 0;
}

HFONT FitWindowFont(HWND window, ScreenDpi dpi, LONG height) {
    const LONG smallest = -MulDiv(kSmallestFontPoints, dpi.y, kPointsPerInch);
    HFONT font = CreateDesignFont(height);
    SetFontOnTree(window, font);
    while (font != nullptr && height < smallest && !CaptionsFit(window)) {
        HFONT smaller = CreateDesignFont(++height);
        if (smaller == nullptr) break;
        SetFontOnTree(window, smaller);
        DeleteObject(font);
        font = smaller;
    }
    return font;
}

}  // namespace win32
