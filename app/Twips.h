// Twips.h - the user-interface length unit (1/1440 inch) converted to and from pixels with the screen's
// logical DPI, so that positions, sizes and text widths keep their design proportions at any DPI.
#pragma once

class QWidget;

// Twips to pixels, rounded to nearest, along x (widths, left) or y (heights, top), at the logical DPI of
// the screen `widget` is on (the primary screen when widget is null or not yet placed).
int TwipsToPixelsX(int twips, const QWidget* widget = nullptr);
int TwipsToPixelsY(int twips, const QWidget* widget = nullptr);

// Pixels to twips along x, rounded to nearest.
int PixelsToTwipsX(int pixels, const QWidget* widget = nullptr);
