// profile_file_win32.cpp - the profile functions over the system's own, with the UTF-8 <-> ANSI code
// page conversion at this boundary and values read whole.
#include <windows.h>

#include <vector>

#include "profile_file.h"
#include "profile_names.h"
#include "wide_text.h"

namespace {

// The system cuts a value to the buffer it is given; the buffer grows up to this, a longer value reads
// as the default (settings are a few hundred bytes; this keeps a damaged file from taking the memory).
constexpr DWORD kMaxValueBytes = DWORD{16} << 20;

// The ANSI forms of a read's names and path; nullopt when one is not usable or does not convert.
struct ReadNames {
    std::string section, key, path;
};

std::optional<ReadNames> NamesToRead(ProfileName section, ProfileName key, const std::string& path) {
    const auto sectionName = UsableName(section);
    const auto keyName = UsableName(key);
    if (!sectionName || !keyName || path.empty()) return std::nullopt;
    auto ansiSection = AnsiFromUtf8(*sectionName);
    auto ansiKey = AnsiFromUtf8(*keyName);
    auto ansiPath = AnsiFromUtf8(path);
    if (!ansiSection || !ansiKey || !ansiPath) return std::nullopt;
    return ReadNames{std::move(*ansiSection), std::move(*ansiKey), std::move(*ansiPath)};
}

}  // namespace

std::string ReadProfileString(ProfileName section, ProfileName key, std::string_view def,
                              const std::string& path) {
    try {
        const std::string fallback = DefaultAsRead(def);
        const auto names = NamesToRead(section, key, path);
        const auto ansiDefault = AnsiFromUtf8(fallback);
        if (!names || !ansiDefault) return fallback;
        // A result that fills the buffer but for its NUL may have been cut: read again with a larger one.
        std::vector<char> buffer(256);
        for (;;) {
            const DWORD size = static_cast<DWORD>(buffer.size());
            const DWORD length =
                GetPrivateProfileStringA(names->section.c_str(), names->key.c_str(), ansiDefault->c_str(),
                                         buffer.data(), size, names->path.c_str());
            if (length + 1 < size)
                return Utf8FromAnsi(std::string_view(buffer.data(), length)).value_or(fallback);
            if (size >= kMaxValueBytes) return fallback;
            buffer.resize(buffer.size() * 2);
        }
    } catch (...) {
        return {};  // out of memory: not even the default could be copied
    }
}

int ReadProfileInt(ProfileName section, ProfileName key, int def, const std::string& path) {
    try {
        const auto names = NamesToRead(section, key, path);
        if (!names) return def;
        return static_cast<int>(
            GetPrivateProfileIntA(names->section.c_str(), names->key.c_str(), def, names->path.c_str()));
    } catch (...) {
        return def;
    }
}

bool WriteProfileString(ProfileName section, ProfileName key, ProfileName value, const std::string& path) {
    try {
        const auto sectionName = WritableSection(section);
        if (!sectionName || path.empty()) return false;
        const auto ansiSection = AnsiFromUtf8(*sectionName);
        const auto ansiPath = AnsiFromUtf8(path);
        if (!ansiSection || !ansiPath) return false;
        // Null key: the section goes, whatever the value. Null value: the key goes.
        std::optional<std::string> ansiKey, ansiValue;
        if (key) {
            const auto keyName = WritableKey(key);
            if (!keyName || !(ansiKey = AnsiFromUtf8(*keyName))) return false;
            if (value && (!WritableValue(*value) || !(ansiValue = AnsiFromUtf8(*value)))) return false;
        }
        return WritePrivateProfileStringA(ansiSection->c_str(), ansiKey ? ansiKey->c_str() : nullptr,
                                          ansiValue ? ansiValue->c_str() : nullptr,
                                          ansiPath->c_str()) != FALSE;
    } catch (...) {
        return false;
    }
}

bool ProfilePathExists(const std::string& path) {
    const auto wide = WideFromUtf8(path);
    return wide && !wide->empty() && GetFileAttributesW(wide->c_str()) != INVALID_FILE_ATTRIBUTES;
}
