// settings_location_posix.cpp - beside the executable when possible, else in the user's configuration folder.
#include "settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "parent_folder.h"

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
    return {};
}

}  // namespace

std::string SettingsFileLocation(const std::string& exeFolder, const std::string& baseName) {
    if (exeFolder.empty() || baseName.empty()) return {};
    const std::string beside = (exeFolder == "/" ? std::string() : exeFolder) + "/" + baseName + ".ini";
    // An existing file beside the program wins even when it is read-only: it is what the user set up.
    if (Exists(beside) || access(exeFolder.c_str(), W_OK) == 0) return beside;
    const std::string config = ConfigHome();
    if (config.empty()) return beside;
    return config + "/" + baseName + "/" + baseName + ".ini";
}

bool PrepareSettingsFolder(const std::string& settingsFile) {
    const std::string folder = ParentFolder(settingsFile);
    if (IsFolder(folder)) return true;
    if (!PrepareSettingsFolder(folder)) return false;
    return (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && IsFolder(folder);
}
