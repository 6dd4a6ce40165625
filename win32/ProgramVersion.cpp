// ProgramVersion.cpp - reads VS_FIXEDFILEINFO back from an executable's version resource.
#include "ProgramVersion.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "wide_text.h"

namespace win32 {

ProgramVersion ReadProgramVersion(const std::string& path) {
    ProgramVersion version;
    const std::optional<std::wstring> file = WideFromUtf8(path);
    if (!file) return version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file->c_str(), &ignored);
    if (size == 0) return version;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file->c_str(), 0, size, data.data())) return version;
    void* block = nullptr;
    UINT blockSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", &block, &blockSize) || blockSize < sizeof(VS_FIXEDFILEINFO))
        return version;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    version.major = HIWORD(info->dwFileVersionMS);
    version.minor = LOWORD(info->dwFileVersionMS);
    version.patch = HIWORD(info->dwFileVersionLS);
    return version;
}

}  // namespace win32
