// Twips.cpp - twips and pixels at the screen's logical DPI.
#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "FormDesign.h"

namespace {

using forms::kTwipsPerInch;

// Qt's own fallback when no screen is known.
constexpr double kFallbackDpi = 96.0;

const QScreen* ScreenOf(const QWidget* widget) {
    if (widget != nullptr && widget->screen() != nullptr) return widget->screen();
    return QGuiApplication::primaryScreen();
}

double DpiX(const QWidget* widget) {
    const QScreen* screen = ScreenOf(widget);
    const double dpi = screen ? screen->logicalDotsPerInchX() : kFallbackDpi;
    return dpi > 0 ? dpi : kFallbackDpi;
}

double DpiY(const QWidget* widget) {
    const QScreen* screen = ScreenOf(widget);
    const double dpi = screen ? screen->logicalDotsPerInchY() : kFallbackDpi;
    return dpi > 0 ? dpi : kFallbackDpi;
}

int Round(double value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

int TwipsToPixelsX(int twips, const QWidget* widget) {
    return Round(twips * DpiX(widget) / kTwipsPerInch);
}
int TwipsToPixelsY(int twips, const QWidget* widget) {
    return Round(twips * DpiY(widget) / kTwipsPerInch);
}
int PixelsToTwipsX(int pixels, const QWidget* widget) {
    return Round(pixels * kTwipsPerInch / DpiX(widget));
}
