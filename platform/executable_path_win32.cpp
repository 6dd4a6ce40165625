// executable_path_win32.cpp - the running executable's path and folder from
// GetModuleFileNameW.
#include <windows.h>

#include <vector>

#include "executable_path.h"
#include "wide_text.h"

char PlatformPathSeparator() {
    return '\\';
}

std::string ExecutablePath() {
    // The call cuts the name to the buffer without saying how long it is: grow until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) return {};
        if (length < size) return Utf8FromWide(std::wstring_view(buffer.data(), length)).value_or("");
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const size_t end = path.rfind(PlatformPathSeparator());
    if (end == std::string::npos) return {};
    // A drive root keeps its separator ("C:\"); any other folder is named without one.
    if (end == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, end);
}
