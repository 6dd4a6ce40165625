// frmAbout.h - the About box: a fixed modal dialog over the main window with the version text and a
// short description; Esc (or the close box) closes it, every other key, Enter included, does nothing.
#pragma once

#include <windows.h>

#include <string>

#include "ScreenUnits.h"

class frmAbout {
public:
    // The box's look: the main window's font height and DPI, and the version text for element 0.
    frmAbout(HINSTANCE instance, LONG fontHeight, win32::ScreenDpi dpi, std::string versionText);
    ~frmAbout();
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    // Shows the box modally, centred on `owner`, and returns when it is closed.
    void ShowModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The load handler: caption, size, place, the four labels with the version text in element 0, the
    // main window's font (lowered further only if a label would be cut with it).
    void Form_Load(HWND dialog);

    HINSTANCE instance_;
    LONG fontHeight_;
    HFONT font_ = nullptr;
    win32::ScreenDpi dpi_;
    std::string versionText_;
};
