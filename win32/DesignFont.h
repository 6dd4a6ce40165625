// DesignFont.h - the windows' font: the design family at its point size, regular weight (400) without
// style flags, Japanese (Shift-JIS) character set, at the screen's DPI; lowered only where the family
// that draws it (a replacement, as under Wine) makes a caption wider than its control.
#pragma once

#include <windows.h>

#include "ScreenUnits.h"

namespace win32 {

// The smallest size a font is lowered to when captions do not fit.
inline constexpr int kSmallestFontPoints = 6;

// The design size as a LOGFONT height at `dpi` (negative: the characters' height in pixels).
LONG DesignFontHeight(ScreenDpi dpi);

// The height `font` was made with.
LONG FontHeight(HFONT font);

// Gives `window` and every child it has the design family at `height`. When the caption of a label or
// check box among them is then wider than the control leaves it, the height is lowered a pixel at a
// time, down to kSmallestFontPoints, until every caption fits. Returns the font set; the caller deletes
// it (DeleteObject) once the window is gone. Null only when the system makes no font.
HFONT FitWindowFont(HWND window, ScreenDpi dpi, LONG height);

}  // namespace win32
