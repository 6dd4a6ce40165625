// executable_path.cpp - the executable's base name and the files named after it, from its path as the
// platform's source file gives it.
#include "executable_path.h"

std::string ExecutableBaseName() {
    const std::string path = ExecutablePath();
    const size_t end = path.rfind(PlatformPathSeparator());
    const std::string name = end == std::string::npos ? path : path.substr(end + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

std::string PathBesideExecutable(std::string_view extension) {
    return ExecutableFolder() + PlatformPathSeparator() + ExecutableBaseName() + std::string(extension);
}
