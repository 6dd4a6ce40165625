// PathText.cpp - the small path-text operations the jobs are built from, with the platform's separator
// and roots.
#include "PathText.h"

#include <algorithm>

#include "FileSystem.h"

namespace mMain {

namespace {

// True when `trimmed` (no trailing separators beyond its root's) is a root and nothing more.
bool IsRootOnly(const std::string& trimmed) {
    const std::size_t root = RootLength(trimmed);
    return root > 0 && trimmed.size() == root;
}

}  // namespace

std::string WithoutTrailingSeparators(const std::string& path) {
    const char sep = PathSeparator();
    const std::size_t keep = std::max<std::size_t>(RootLength(path), 1);
    std::size_t end = path.size();
    while (end > keep && path[end - 1] == sep) --end;
    return path.substr(0, end);
}

std::string GetParentFolderName(const std::string& path) {
    const std::string trimmed = WithoutTrailingSeparators(path);
    if (IsRootOnly(trimmed)) return {};
    const std::size_t last = trimmed.rfind(PathSeparator());
    if (last == std::string::npos) return {};
    // An item directly in a root: its folder is the root, separator included ("/", "C:\").
    const std::size_t root = RootLength(trimmed);
    if (last < root) return trimmed.substr(0, root);
    return WithoutTrailingSeparators(trimmed.substr(0, last));
}

std::string GetFileName(const std::string& path) {
    const std::string trimmed = WithoutTrailingSeparators(path);
    if (IsRootOnly(trimmed)) return {};
    const std::size_t last = trimmed.rfind(PathSeparator());
    return last == std::string::npos ? trimmed : trimmed.substr(last + 1);
}

std::string GetBaseName(const std::string& path) {
    const std::string name = GetFileName(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::string WithTrailingSeparator(const std::string& path) {
    const char sep = PathSeparator();
    if (!path.empty() && path.back() == sep) return path;
    return path + sep;
}

bool IsAbsolute(const std::string& path) {
    return RootLength(path) > 0;
}

std::string FreeArchivePath(const std::string& stem, const std::string& ext) {
    std::string candidate = stem + ext;
    for (unsigned long long i = 2; NameTaken(candidate); ++i) {
        candidate = stem + " (" + std::to_string(i) + ")" + ext;
    }
    return candidate;
}

}  // namespace mMain
