// PathText.cpp - the small path-text operations the jobs are built from ('/' separated paths).
#include "PathText.h"

#include <sys/stat.h>

namespace mMain {

namespace {

constexpr char kSep = '/';

// `path` without trailing separators, except that the root stays "/".
std::string WithoutTrailingSeparators(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == kSep) --end;
    return path.substr(0, end);
}

}  // namespace

std::string GetParentFolderName(const std::string& path) {
    const std::string trimmed = WithoutTrailingSeparators(path);
    if (trimmed == "/") return {};
    const std::size_t last = trimmed.rfind(kSep);
    if (last == std::string::npos) return {};
    if (last == 0) return "/";
    return WithoutTrailingSeparators(trimmed.substr(0, last));
}

std::string GetFileName(const std::string& path) {
    const std::string trimmed = WithoutTrailingSeparators(path);
    if (trimmed == "/") return {};
    const std::size_t last = trimmed.rfind(kSep);
    return last == std::string::npos ? trimmed : trimmed.substr(last + 1);
}

std::string GetBaseName(const std::string& path) {
    const std::string name = GetFileName(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::string WithTrailingSeparator(const std::string& path) {
    if (!path.empty() && path.back() == kSep) return path;
    return path + kSep;
}

bool IsHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.';
}

bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string FreeArchivePath(const std::string& stem, const std::string& ext) {
    std::string candidate = stem + ext;
    for (unsigned long long i = 2; NameTaken(candidate); ++i) {
        candidate = stem + " (" + std::to_string(i) + ")" + ext;
    }
    return candidate;
}

}  // namespace mMain
