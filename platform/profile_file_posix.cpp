// profile_file_posix.cpp - the profile functions on files: read the whole file, look up or edit in memory,
// write back atomically.
#include <filesystem>

#include "atomic_file.h"
#include "profile_edit.h"
#include "profile_names.h"

namespace {

// Content of the profile file, empty when it cannot be read (so every lookup gives its default).
std::string ContentOrEmpty(const std::string& path) {
    std::string content;
    if (ReadWholeFile(path, kMaxProfileFileBytes, content) != FileReadStatus::Ok) content.clear();
    return content;
}

}  // namespace

std::string ReadProfileString(ProfileName section, ProfileName key, std::string_view def,
                              const std::string& path) {
    try {
        if (section && key) {
            if (auto value = FindProfileValue(ContentOrEmpty(path), section, key)) return *value;
        }
        return DefaultAsRead(def);
    } catch (...) {
        return {};  // out of memory: not even the default could be copied
    }
}

int ReadProfileInt(ProfileName section, ProfileName key, int def, const std::string& path) {
    try {
        if (!section || !key) return def;
        const auto value = FindProfileValue(ContentOrEmpty(path), section, key);
        if (!value) return def;
        return ParseProfileInt(*value).value_or(def);
    } catch (...) {
        return def;
    }
}

bool WriteProfileString(ProfileName section, ProfileName key, ProfileName value, const std::string& path) {
    try {
        if (path.empty()) return false;
        std::string content;
        const FileReadStatus status = ReadWholeFile(path, kMaxProfileFileBytes, content);
        if (status == FileReadStatus::Unreadable) return false;
        const auto edited = EditProfile(content, section, key, value);
        if (!edited) return false;
        // Nothing to change (removing what is not there, writing the value already stored): leave the
        // file, and its modification time, alone; do not create a file only to remove from it.
        if (*edited == content && (status == FileReadStatus::Ok || edited->empty())) return true;
        return ReplaceFileAtomically(path, *edited);
    } catch (...) {
        return false;  // out of memory while editing: the file was not touched
    }
}

bool ProfilePathExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    return std::filesystem::exists(path, error);
}
