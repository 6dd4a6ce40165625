// ScreenUnits.cpp - twips and pixels at the screen's DPI.
#include "ScreenUnits.h"

namespace win32 {

ScreenDpi ReadScreenDpi() {
    ScreenDpi dpi;
    if (HDC screen = GetDC(nullptr)) {
        const int x = GetDeviceCaps(screen, LOGPIXELSX);
        const int y = GetDeviceCaps(screen, LOGPIXELSY);
        if (x > 0) dpi.x = x;
        if (y > 0) dpi.y = y;
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

RECT DesignRect(const forms::ControlDesign& design, ScreenDpi dpi) {
    const int left = TwipsToPixels(design.left, dpi.x);
    const int top = TwipsToPixels(design.top, dpi.y);
    return RECT{left, top, left + TwipsToPixels(design.width, dpi.x),
                top + TwipsToPixels(design.height, dpi.y)};
}

SIZE WindowSizeForClient(int widthTwips, int heightTwips, DWORD style, DWORD exStyle, ScreenDpi dpi) {
    RECT rect{0, 0, TwipsToPixels(widthTwips, dpi.x), TwipsToPixels(heightTwips, dpi.y)};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace win32
