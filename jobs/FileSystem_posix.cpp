// FileSystem_posix.cpp - the jobs' file-system seam on POSIX systems: lstat()/stat() for entries,
// readdir() for listings, '/' as the separator and the one root "/".
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include "FileSystem.h"
#include "PathText.h"
#include "atomic_file.h"

namespace mMain {

namespace {

FileId IdOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsSystem(mode_t mode) {
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

// No write permission bit at all: such items are not deleted (deletion never forces), and neither is
// anything inside such a folder.
bool IsReadOnly(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// A name starting with '.' is hidden.
bool IsHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.';
}

// The entry `st` describes, its type left Other for anything but a regular file or a folder.
SourceEntry EntryOf(const struct stat& st, const std::string& path, const std::string& name) {
    SourceEntry entry;
    entry.name = name;
    entry.path = path;
    entry.hidden = IsHiddenName(GetFileName(path));
    entry.system = IsSystem(st.st_mode);
    entry.readOnly = IsReadOnly(st.st_mode);
    entry.id = IdOf(st);
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.mtimeSec = st.st_mtim.tv_sec;
    entry.mtimeNsec = st.st_mtim.tv_nsec;
    entry.ctimeSec = st.st_ctim.tv_sec;
    entry.ctimeNsec = st.st_ctim.tv_nsec;
    if (S_ISREG(st.st_mode)) entry.type = EntryType::File;
    if (S_ISDIR(st.st_mode)) entry.type = EntryType::Folder;
    return entry;
}

// The type the listing gives an entry. A link might lead to a file; a type the listing does not know
// might be a file: both count as files, so a walk reports them when they cannot be examined.
EntryType ListedType(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return EntryType::Folder;
        case DT_FIFO:
        case DT_SOCK:
        case DT_CHR:
        case DT_BLK:
            return EntryType::Other;
        default:
            return EntryType::File;
    }
}

}  // namespace

char PathSeparator() {
    return '/';
}

std::size_t RootLength(const std::string& path) {
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

std::optional<SourceEntry> Examine(const std::string& path, const std::string& name) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    SourceEntry entry = EntryOf(st, path, name);
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        const bool toFile = ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
        entry.type = toFile ? EntryType::FileLink : EntryType::Link;
        if (toFile) entry.size = static_cast<std::uint64_t>(target.st_size);
    }
    return entry;
}

std::optional<SourceEntry> ExamineTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return EntryOf(st, path, GetFileName(path));
}

bool IsFileSystemRoot(const std::string& path) {
    struct stat st {};
    struct stat root {};
    return ::stat(path.c_str(), &st) == 0 && ::stat("/", &root) == 0 && st.st_dev == root.st_dev &&
           st.st_ino == root.st_ino;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(WithoutTrailingSeparators(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::optional<std::vector<ListedName>> ListFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return std::nullopt;
    std::vector<ListedName> names;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const EntryType type = ListedType(item->d_type);
        names.push_back({name, type, IsHiddenName(name), type == EntryType::Other});
    }
    ::closedir(dir);
    return names;
}

bool NameTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool FolderAllowsRemoval(const std::string& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && !IsReadOnly(st.st_mode);
}

bool RemoveFileEntry(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool FlushFolderNames(const std::string& folder) {
    return FlushFolder(folder);
}

void* OpenArchiveReader(const std::string& path) {
    return unzOpen64(path.c_str());
}

}  // namespace mMain
