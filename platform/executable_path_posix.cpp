// executable_path_posix.cpp - the running executable's path and folder from /proc/self/exe.
#include "executable_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#include "parent_folder.h"

namespace {

// When the executable file is removed or replaced while the program runs (a package upgrade), the
// kernel appends this to the link's text. The folder and name are still the ones the program was
// started as, and those are what the settings file and the library search must use.
constexpr std::string_view kDeletedSuffix = " (deleted)";

std::string WithoutDeletedMark(std::string path) {
    struct stat st {};
    if (path.ends_with(kDeletedSuffix) && ::lstat(path.c_str(), &st) != 0) {
        path.resize(path.size() - kDeletedSuffix.size());
    }
    return path;
}

}  // namespace

char PlatformPathSeparator() {
    return '/';
}

std::string ExecutablePath() {
    // readlink does not say how long the target is, so grow the buffer until the answer fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size())
            return WithoutDeletedMark(std::string(buffer.data(), static_cast<size_t>(length)));
        if (buffer.size() >= (size_t{1} << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    return path.empty() ? std::string() : ParentFolder(path);
}
