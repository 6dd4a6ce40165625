// SourceSnapshot.cpp - what a job's sources were before the archiver ran, and their careful deletion.
#include "SourceSnapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace mMain {

namespace {

EntryType TypeOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryType::File;
    if (S_ISDIR(mode)) return EntryType::Folder;
    if (S_ISLNK(mode)) return EntryType::Link;
    return EntryType::Other;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool SameItem(const SourceEntry& before, const SourceEntry& now) {
    return before.type == now.type && before.device == now.device && before.inode == now.inode &&
           before.size == now.size && before.mtimeSec == now.mtimeSec && before.mtimeNsec == now.mtimeNsec &&
           before.ctimeSec == now.ctimeSec && before.ctimeNsec == now.ctimeNsec;
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// True when the folder holding `path` lets its entries be removed without forcing.
bool ParentWritable(const std::string& path) {
    struct stat st {};
    return ::lstat(ParentOf(path).c_str(), &st) == 0 && !IsReadOnly(st.st_mode);
}

void Walk(const std::string& path, const std::string& name,
          std::vector<std::pair<std::uint64_t, std::uint64_t>>& ancestors, std::vector<SourceEntry>& out) {
    for (SourceEntry& entry : ListFolder(path)) {
        entry.name = name.empty() ? entry.name : name + "/" + entry.name;
        const bool enter = entry.type == EntryType::Folder &&
                           std::find(ancestors.begin(), ancestors.end(),
                                     std::pair{entry.device, entry.inode}) == ancestors.end();
        const std::string childPath = entry.path;
        const std::string childName = entry.name;
        const auto id = std::pair{entry.device, entry.inode};
        out.push_back(std::move(entry));
        if (enter) {
            ancestors.push_back(id);
            Walk(childPath, childName, ancestors, out);
            ancestors.pop_back();
        }
    }
}

}  // namespace

std::optional<SourceEntry> Examine(const std::string& path, const std::string& name) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    SourceEntry entry;
    entry.name = name;
    entry.path = path;
    entry.type = TypeOf(st.st_mode);
    entry.mode = st.st_mode;
    entry.device = static_cast<std::uint64_t>(st.st_dev);
    entry.inode = static_cast<std::uint64_t>(st.st_ino);
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.mtimeSec = st.st_mtim.tv_sec;
    entry.mtimeNsec = st.st_mtim.tv_nsec;
    entry.ctimeSec = st.st_ctim.tv_sec;
    entry.ctimeNsec = st.st_ctim.tv_nsec;
    return entry;
}

std::vector<SourceEntry> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* item = ::readdir(dir)) {
            const std::string name = item->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<SourceEntry> entries;
    for (const std::string& name : names) {
        if (std::optional<SourceEntry> entry = Examine(Join(folder, name), name))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

SourceSnapshot SnapshotTree(const std::string& folder) {
    SourceSnapshot snapshot;
    snapshot.root = folder;
    while (snapshot.root.size() > 1 && snapshot.root.back() == '/') snapshot.root.pop_back();
    // The root itself is reached through the path as given, like the archiver opens its base folder.
    struct stat st {};
    if (::stat(snapshot.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return snapshot;
    std::optional<SourceEntry> root = Examine(snapshot.root, "");
    if (!root) return snapshot;
    snapshot.entries.push_back(*root);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ancestors = {
        {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}};
    Walk(snapshot.root, "", ancestors, snapshot.entries);
    return snapshot;
}

SourceSnapshot SnapshotFile(const std::string& file, const std::string& name) {
    SourceSnapshot snapshot;
    snapshot.root = ParentOf(file);
    if (std::optional<SourceEntry> entry = Examine(file, name)) snapshot.entries.push_back(std::move(*entry));
    return snapshot;
}

bool IsReadOnly(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::size_t DeleteArchivedSources(const SourceSnapshot& snapshot, const ArchiveIndex& archive) {
    std::size_t removed = 0;
    for (const SourceEntry& before : snapshot.entries) {
        if (before.type != EntryType::File && before.type != EntryType::Link) continue;
        const auto held = archive.find(before.name);
        if (held == archive.end() || held->second != before.size) continue;
        const std::optional<SourceEntry> now = Examine(before.path, before.name);
        if (!now || !SameItem(before, *now)) continue;
        if ((before.type == EntryType::File && IsReadOnly(now->mode)) || !ParentWritable(before.path))
            continue;
        if (::unlink(before.path.c_str()) == 0) ++removed;
    }
    // Folders come before their contents in the snapshot, so the reverse order is deepest first.
    for (auto it = snapshot.entries.rbegin(); it != snapshot.entries.rend(); ++it) {
        const SourceEntry& before = *it;
        if (before.type != EntryType::Folder) continue;
        const std::optional<SourceEntry> now = Examine(before.path, before.name);
        if (!now || now->type != EntryType::Folder || now->device != before.device ||
            now->inode != before.inode) {
            continue;
        }
        if (IsReadOnly(now->mode) || !ParentWritable(before.path)) continue;
        if (::rmdir(before.path.c_str()) == 0) ++removed;
    }
    return removed;
}

}  // namespace mMain
