// settings_location_win32.cpp - the settings file beside the executable.
#include <windows.h>

#include "settings_location.h"
#include "wide_text.h"

std::string SettingsFileLocation(const std::string& exeFolder, const std::string& baseName) {
    if (exeFolder.empty() || baseName.empty()) return {};
    return exeFolder + "\\" + baseName + ".ini";
}

bool PrepareSettingsFolder(const std::string& settingsFile) {
    const size_t end = settingsFile.rfind('\\');
    if (end == std::string::npos) return false;
    std::string folder = settingsFile.substr(0, end);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    // A drive root is "C:\" ("C:" alone names the drive's current folder).
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    const std::optional<std::wstring> wide = WideFromUtf8(folder);
    if (!wide) return false;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
