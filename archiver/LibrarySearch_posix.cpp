// LibrarySearch_posix.cpp - the start-up search for lib7-zip32.so: executable folder, ../lib beside it,
// LD_LIBRARY_PATH, then the platform's standard library folders; never the current working directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "executable_path.h"
#include "mSevenZip32APIs.h"

#ifndef PAKUTO_LIBRARY_ARCHITECTURE
#define PAKUTO_LIBRARY_ARCHITECTURE ""
#endif

namespace mSevenZip32APIs {
namespace {

namespace fs = std::filesystem;

bool IsAbsolute(const std::string& folder) {
    return !folder.empty() && folder.front() == '/';
}

}  // namespace

std::vector<std::string> SystemLibraryFolders() {
    const std::string arch = PAKUTO_LIBRARY_ARCHITECTURE;
    if (arch.empty()) return {"/usr/local/lib", "/usr/lib", "/lib"};
    return {"/usr/local/lib", "/usr/lib/" + arch, "/usr/lib", "/lib/" + arch, "/lib"};
}

LibrarySearchPlaces CurrentSearchPlaces() {
    LibrarySearchPlaces places;
    places.executableFolder = ExecutableFolder();
    // secure_getenv gives null in secure-execution mode, exactly when the loader ignores the variable.
    if (const char* value = secure_getenv("LD_LIBRARY_PATH")) places.loaderPath = value;
    places.systemFolders = SystemLibraryFolders();
    return places;
}

bool IsUsableLibraryFile(const std::string& path) {
    const fs::path file(path);
    const std::string name = file.filename().string();
    if (name.empty() || name.front() == '.') return false;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return access(path.c_str(), R_OK) == 0;
}

std::string FindArchiverLibrary(const LibrarySearchPlaces& places) {
    std::vector<std::string> folders;
    if (IsAbsolute(places.executableFolder)) {
        folders.push_back(places.executableFolder);
        folders.push_back((fs::path(places.executableFolder) / ".." / "lib").lexically_normal().string());
    }
    std::string element;
    for (size_t i = 0; i <= places.loaderPath.size(); ++i) {
        const bool end = i == places.loaderPath.size();
        if (!end && places.loaderPath[i] != ':' && places.loaderPath[i] != ';') {
            element += places.loaderPath[i];
            continue;
        }
        if (IsAbsolute(element)) folders.push_back(element);
        element.clear();
    }
    for (const auto& folder : places.systemFolders) {
        if (IsAbsolute(folder)) folders.push_back(folder);
    }

    for (const auto& folder : folders) {
        const std::string candidate = (fs::path(folder) / kArchiverLibraryName).lexically_normal().string();
        if (IsUsableLibraryFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace mSevenZip32APIs
