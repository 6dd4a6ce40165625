// SourceSnapshot.cpp - what a job's sources were before the archiver ran, the tree walk, and the
// careful deletion of the sources.
#include "SourceSnapshot.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "PathText.h"

namespace mMain {

namespace {

bool SameItem(const SourceEntry& before, const SourceEntry& now) {
    return before.type == now.type && before.id == now.id && before.size == now.size &&
           before.mtimeSec == now.mtimeSec && before.mtimeNsec == now.mtimeNsec &&
           before.ctimeSec == now.ctimeSec && before.ctimeNsec == now.ctimeNsec;
}

// True when the folder holding `path` lets its entries be removed without forcing.
bool ParentWritable(const std::string& path) {
    return FolderAllowsRemoval(GetParentFolderName(path));
}

bool IsFileOrLink(const SourceEntry& entry) {
    return entry.type == EntryType::File || entry.type == EntryType::FileLink ||
           entry.type == EntryType::Link;
}

bool Held(const SourceEntry& entry, const ArchiveIndex& archive) {
    const auto held = archive.find(entry.name);
    return held != archive.end() && held->second == entry.size;
}

// The type the listing gives an entry, for one that lstat() cannot reach (its path passes the system's
// limit, its folder grants no search, it went meanwhile). A link might lead to a file; a type the
// listing does not know might be a file: both count as files, so the walk reports them.
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

FolderListing List(const std::string& folder, const std::string& name) {
    FolderListing listing;
    listing.path = WithTrailingSeparator(folder);
    listing.name = name;
    DIR* dir = ::opendir(listing.path.c_str());
    if (dir == nullptr) return listing;
    listing.listed = true;
    std::vector<std::pair<std::string, EntryType>> names;
    while (const dirent* item = ::readdir(dir)) {
        const std::string entryName = item->d_name;
        if (entryName != "." && entryName != "..") names.emplace_back(entryName, ListedType(item->d_type));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& [entryName, listedType] : names) {
        const std::string relative = name.empty() ? entryName : name + "/" + entryName;
        std::optional<SourceEntry> entry = Examine(listing.path + entryName, relative);
        if (!entry) {
            entry.emplace();
            entry->name = relative;
            entry->path = listing.path + entryName;
            entry->type = listedType;
        }
        listing.entries.push_back(std::move(*entry));
    }
    return listing;
}

void WalkBelow(const std::string& folder, const std::string& name, std::vector<FileId>& ancestors,
               const std::function<bool(const SourceEntry&)>& enter,
               const std::function<void(const FolderListing&)>& before,
               const std::function<void(const FolderListing&)>& after) {
    const FolderListing listing = List(folder, name);
    before(listing);
    for (const SourceEntry& entry : listing.entries) {
        if (entry.type != EntryType::Folder || !enter(entry)) continue;
        if (std::find(ancestors.begin(), ancestors.end(), entry.id) != ancestors.end()) continue;
        ancestors.push_back(entry.id);
        WalkBelow(entry.path, entry.name, ancestors, enter, before, after);
        ancestors.pop_back();
    }
    after(listing);
}

}  // namespace

void WalkTree(const std::string& root, const std::function<bool(const SourceEntry&)>& enter,
              const std::function<void(const FolderListing&)>& before,
              const std::function<void(const FolderListing&)>& after) {
    std::vector<FileId> ancestors;
    if (const std::optional<SourceEntry> target = ExamineTarget(root)) ancestors.push_back(target->id);
    WalkBelow(root, "", ancestors, enter, before, after);
}

SourceSnapshot SnapshotTree(const std::string& folder) {
    SourceSnapshot snapshot;
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // The root itself is reached through the path as given, like the archiver opens its base folder.
    const std::optional<SourceEntry> target = ExamineTarget(root);
    if (!target || target->type != EntryType::Folder) return snapshot;
    std::optional<SourceEntry> rootEntry = Examine(root, "");
    if (!rootEntry) return snapshot;
    snapshot.entries.push_back(std::move(*rootEntry));
    WalkTree(
        root, [](const SourceEntry&) { return true; },
        [&snapshot](const FolderListing& listing) {
            snapshot.entries.insert(snapshot.entries.end(), listing.entries.begin(), listing.entries.end());
        },
        [](const FolderListing&) {});
    return snapshot;
}

SourceSnapshot SnapshotFile(const std::string& file, const std::string& name) {
    SourceSnapshot snapshot;
    if (std::optional<SourceEntry> entry = Examine(file, name)) snapshot.entries.push_back(std::move(*entry));
    return snapshot;
}

bool HoldsEveryFile(const SourceSnapshot& snapshot, const ArchiveIndex& archive) {
    return std::all_of(snapshot.entries.begin(), snapshot.entries.end(),
                       [&archive](const SourceEntry& entry) {
                           // A tree's root (name "") is what the archive stands for, a dropped link to a
                           // folder too.
                           return entry.name.empty() || !IsFileOrLink(entry) || Held(entry, archive);
                       });
}

bool RemoveIfUnchanged(const SourceEntry& before) {
    const std::optional<SourceEntry> now = Examine(before.path, before.name);
    if (!now || !SameItem(before, *now)) return false;
    if ((before.type == EntryType::File && now->readOnly) || !ParentWritable(before.path)) return false;
    return ::unlink(before.path.c_str()) == 0;
}

std::size_t DeleteArchivedSources(const SourceSnapshot& snapshot, const ArchiveIndex& archive) {
    std::size_t removed = 0;
    for (const SourceEntry& before : snapshot.entries) {
        if (IsFileOrLink(before) && Held(before, archive) && RemoveIfUnchanged(before)) ++removed;
    }
    // Folders come before their contents in the snapshot, so the reverse order is deepest first.
    for (auto it = snapshot.entries.rbegin(); it != snapshot.entries.rend(); ++it) {
        const SourceEntry& before = *it;
        if (before.type != EntryType::Folder) continue;
        if (!before.name.empty() && archive.find(before.name + "/") == archive.end()) continue;
        const std::optional<SourceEntry> now = Examine(before.path, before.name);
        if (!now || now->type != EntryType::Folder || now->id != before.id) continue;
        if (now->readOnly || !ParentWritable(before.path)) continue;
        if (::rmdir(before.path.c_str()) == 0) ++removed;
    }
    return removed;
}

}  // namespace mMain
