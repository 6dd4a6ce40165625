// WindowFont.h - the font of the tool's windows: the designed family and size (forms::kFontFamily,
// forms::kFontPoints), regular weight, requested; where that family is missing, a font that draws Japanese,
// sized so that no caption is cut.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The smallest size a fallback font is lowered to.
inline constexpr double kSmallestFallbackPoints = 6.0;

// "MS UI Gothic" at 9 pt, weight 400, no style flags, followed by families that cover Japanese (Noto
// Sans CJK JP, IPA, VL, Takao), so the captions never show as boxes.
QFont RequestedWindowFont();

// True when the system resolves `font` to the design family itself.
bool IsDesignFamily(const QFont& font);

// Gives `window` (and so its children) `font`. The design family keeps its size. A fallback family
// usually draws kana wider than the design family, so its size is lowered in half points, down to
// kSmallestFallbackPoints, until the caption of every label and check box in `window` fits the
// control's width. Returns the font set.
QFont FitWindowFont(QWidget* window, QFont font);
