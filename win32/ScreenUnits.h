// ScreenUnits.h - twips (1/1440 inch) and pixels at the screen's DPI, as the windows are laid out, and
// the windows' font at that DPI.
#pragma once

#include <windows.h>

#include "FormDesign.h"

namespace win32 {

// The screen's logical pixels per inch along x and y (GetDeviceCaps LOGPIXELSX / LOGPIXELSY).
struct ScreenDpi {
    int x = 96;
    int y = 96;
};

// The DPI of the screen, read once per call.
ScreenDpi ReadScreenDpi();

// Twips to pixels and back, rounded to nearest, along one axis at `dpi`.
inline int TwipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, forms::kTwipsPerInch);
}
inline int PixelsToTwips(int pixels, int dpi) {
    return MulDiv(pixels, forms::kTwipsPerInch, dpi);
}

// A designed control's rectangle in pixels of its window's client area.
RECT DesignRect(const forms::ControlDesign& design, ScreenDpi dpi);

// The outer size of a window of `style`/`exStyle` whose client area is `widthTwips` x `heightTwips`.
SIZE WindowSizeForClient(int widthTwips, int heightTwips, DWORD style, DWORD exStyle, ScreenDpi dpi);

}  // namespace win32
