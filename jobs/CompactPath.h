// CompactPath.h - shortens a path text with "..." so that it fits a width when drawn.
#pragma once

#include <functional>
#include <string>

namespace mMain {

class JobWindow;

// Measures the width of a text, in twips, as it would be drawn.
using TextMeasure = std::function<int(const std::string&)>;

// Returns `path` shortened to fit `maxWidth` twips as measured by `measure`.
//
// The text is split at its last `separator` into a folder part (ending in the separator) and a name.
// A leading drive prefix (an ASCII letter and ':', as in "C:") is kept apart. While the text is too
// wide, each pass replaces the first remaining folder name with "..." ("/a/b/c/f" -> "/.../b/c/f" ->
// "/.../c/f" -> "/.../f"), then drops the drive with the leading separator ("C:/.../f" -> ".../f"),
// then drops the last marker ("f"). A folder whose name starts with a dot is shortened like any other
// name: only the exact marker "..." followed by the separator counts as a marker. The name itself is
// never cut, so the result may still be wider than `maxWidth`. An empty path gives an empty text; a
// text without a separator is returned unchanged.
std::string CompactPath(const std::string& path, const TextMeasure& measure, int maxWidth,
                        char separator = '/');

// The same, measured with the window's font, at the platform's separator.
std::string CompactPath(const std::string& path, const JobWindow& window, int maxWidth);

// The width result lines are shortened to: the result list's width less 400 twips, rounded to the
// nearest integer (ties to even) and held to the 16-bit signed range.
int ResultLineWidth(double listWidthTwips);

}  // namespace mMain
