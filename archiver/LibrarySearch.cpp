// LibrarySearch.cpp - the start-up search for lib7-zip32.so: executable folder, ../lib beside it,
// LD_LIBRARY_PATH, then the loader's system folders; never the current working directory.
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
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

// ld.so.conf may include files that include others; a cycle or a deep chain ends here.
constexpr int kMaxIncludeDepth = 8;

bool IsAbsolute(const std::string& folder) {
    return !folder.empty() && folder.front() == '/';
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Glob(const std::string& pattern) {
    std::vector<std::string> paths;
    glob_t found{};
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    }
    globfree(&found);
    return paths;  // glob sorts its matches, as ldconfig reads them
}

void ReadLdSoConf(const std::string& path, const std::string& baseFolder, int depth,
                  std::vector<std::string>& folders) {
    if (depth > kMaxIncludeDepth) return;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        line = Trim(line);
        if (line.empty()) continue;
        if (line.rfind("include", 0) == 0 && line.size() > 7 && (line[7] == ' ' || line[7] == '\t')) {
            std::string pattern = Trim(line.substr(8));
            if (!IsAbsolute(pattern)) pattern = baseFolder + "/" + pattern;
            for (const auto& file : Glob(pattern)) ReadLdSoConf(file, baseFolder, depth + 1, folders);
            continue;
        }
        if (line.rfind("hwcap", 0) == 0) continue;  // an old ldconfig directive, not a folder
        // A folder line may carry a library-type suffix ("=libc6"); the folder is before it.
        if (const auto eq = line.find('='); eq != std::string::npos) line = Trim(line.substr(0, eq));
        if (IsAbsolute(line)) folders.push_back(line);
    }
}

void AddUnique(std::vector<std::string>& list, std::set<std::string>& seen, const std::string& folder) {
    if (seen.insert(folder).second) list.push_back(folder);
}

}  // namespace

std::vector<std::string> SystemLibraryFolders(const std::string& ldSoConfPath) {
    std::vector<std::string> listed;
    const std::string baseFolder = fs::path(ldSoConfPath).parent_path().string();
    ReadLdSoConf(ldSoConfPath, baseFolder, 0, listed);

    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (const auto& folder : listed) AddUnique(folders, seen, folder);
    const std::string arch = PAKUTO_LIBRARY_ARCHITECTURE;
    if (!arch.empty()) {
        AddUnique(folders, seen, "/lib/" + arch);
        AddUnique(folders, seen, "/usr/lib/" + arch);
    }
    AddUnique(folders, seen, "/lib");
    AddUnique(folders, seen, "/usr/lib");
    return folders;
}

std::vector<std::string> SystemLibraryFolders() {
    return SystemLibraryFolders("/etc/ld.so.conf");
}

LibrarySearchPlaces CurrentSearchPlaces() {
    LibrarySearchPlaces places;
    places.executableFolder = ExecutableFolder();
    // secure_getenv gives null in secure-execution mode, exactly when the loader ignores the variable.
    if (const char* value = secure_getenv("LD_LIBRARY_PATH")) places.ldLibraryPath = value;
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
    for (size_t i = 0; i <= places.ldLibraryPath.size(); ++i) {
        const bool end = i == places.ldLibraryPath.size();
        if (!end && places.ldLibraryPath[i] != ':' && places.ldLibraryPath[i] != ';') {
            element += places.ldLibraryPath[i];
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

std::string FindArchiverLibrary() {
    return FindArchiverLibrary(CurrentSearchPlaces());
}

}  // namespace mSevenZip32APIs
