// CompactPath.cpp - shortens a path text with "..." so that it fits a width when drawn.
#include "CompactPath.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "FileSystem.h"
#include "JobWindow.h"

namespace mMain {

namespace {

// Margin kept between a result line's path and the right edge of the result list.
constexpr double kResultLineMargin = 400.0;

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// One shortening pass over the folder part. Each pass either removes one folder name (replacing it
// with the marker), consumes a marker, or removes the drive, so the loop in CompactPath ends.
void ShortenOnce(std::string& drive, std::string& folder, char sep) {
    const std::string marker = std::string("...") + sep;
    if (folder == sep + marker) {
        drive.clear();
        folder = marker;
        return;
    }
    if (folder.empty()) {
        drive.clear();
        return;
    }
    if (folder.size() == 1 && folder[0] == sep) {
        folder.clear();
        return;
    }
    const bool leadingSep = folder[0] == sep;
    std::string rest = leadingSep ? folder.substr(1) : folder;
    // Remove the marker an earlier pass left; a real name that merely starts with a dot stays.
    if (rest.compare(0, marker.size(), marker) == 0) rest.erase(0, marker.size());
    const std::size_t next = rest.find(sep);
    if (next == std::string::npos) {
        folder.clear();
    } else {
        folder = "..." + rest.substr(next);
        if (leadingSep) folder.insert(folder.begin(), sep);
    }
}

}  // namespace

std::string CompactPath(const std::string& path, const TextMeasure& measure, int maxWidth, char separator) {
    if (path.empty()) return {};
    const std::size_t last = path.rfind(separator);
    if (last == std::string::npos) return path;

    std::string folder = path.substr(0, last + 1);
    const std::string name = path.substr(last + 1);
    std::string drive;
    if (folder.size() >= 2 && folder[1] == ':' && IsAsciiLetter(folder[0])) {
        drive = folder.substr(0, 2);
        folder.erase(0, 2);
    }

    for (;;) {
        std::string candidate = drive + folder + name;
        if ((drive.empty() && folder.empty()) || measure(candidate) <= maxWidth) return candidate;
        ShortenOnce(drive, folder, separator);
    }
}

std::string CompactPath(const std::string& path, const JobWindow& window, int maxWidth) {
    return CompactPath(
        path, [&window](const std::string& text) { return window.TextWidthTwips(text); }, maxWidth,
        PathSeparator());
}

int ResultLineWidth(double listWidthTwips) {
    constexpr double lo = std::numeric_limits<std::int16_t>::min();
    constexpr double hi = std::numeric_limits<std::int16_t>::max();
    const double width = listWidthTwips - kResultLineMargin;
    if (std::isnan(width)) return 0;
    // nearbyint rounds to nearest with ties to even in the default rounding mode.
    const double rounded = std::nearbyint(width);
    if (rounded < lo) return static_cast<int>(lo);
    if (rounded > hi) return static_cast<int>(hi);
    return static_cast<int>(rounded);
}

}  // namespace mMain
