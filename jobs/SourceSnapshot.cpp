// SourceSnapshot.cpp - what a job's sources were before the archiver ran, the tree walk, and the
// careful deletion of the sources.
#include "SourceSnapshot.h"

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

FolderListing List(const std::string& folder, const std::string& name) {
    FolderListing listing;
    listing.path = WithTrailingSeparator(folder);
    listing.name = name;
    std::optional<std::vector<ListedName>> names = ListFolder(listing.path);
    if (!names) return listing;
    listing.listed = true;
    std::sort(names->begin(), names->end(),
              [](const ListedName& a, const ListedName& b) { return a.name < b.name; });
    for (const ListedName& listed : *names) {
        // Archive names are '/'-separated on every platform.
        const std::string relative = name.empty() ? listed.name : name + "/" + listed.name;
        std::optional<SourceEntry> entry = Examine(listing.path + listed.name, relative);
        if (!entry) {
            // Out of reach of Examine (its path passes the system's limit, its folder grants no
            // search, it went meanwhile): the listing's type and marks.
            entry.emplace();
            entry->name = relative;
            entry->path = listing.path + listed.name;
            entry->type = listed.type;
            entry->hidden = listed.hidden;
            entry->system = listed.system;
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
    const std::string root = WithoutTrailingSeparators(folder);
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
    return RemoveFileEntry(before.path);
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
        if (RemoveEmptyFolder(before.path)) ++removed;
    }
    return removed;
}

}  // namespace mMain
