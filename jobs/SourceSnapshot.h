// SourceSnapshot.h - what a job's sources were before the archiver ran, the one walk over a folder
// tree that the jobs use, and the deletion of exactly those sources that the archive now holds and
// that have not changed since.
//
// The walk never enters a link: a link to a regular file is archived with the file's content under
// the link's name; a link to a folder, a dangling link or a link to anything else is stored as a link
// (its target text). No walk can loop or leave the dropped tree through one. FIFOs, sockets and
// devices are never opened; they are not archived and so never deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveIndex.h"
#include "FileSystem.h"

namespace mMain {

// One folder as the walk listed it. An entry the listing names but Examine() cannot reach (its path
// passes the system's limit, its folder grants no search) stays in `entries` with its name, path and
// the type the listing gives, a link or an unknown type counting as a File; it has no id, size or
// times, so it never matches what Examine() shows and nothing is deleted for it.
struct FolderListing {
    std::string path;                  // the folder's path, ending in the separator
    std::string name;                  // relative to the walk's root, "" for the root itself
    bool listed = false;               // false when the folder could not be listed; `entries` is then empty
    std::vector<SourceEntry> entries;  // "." and ".." left out, sorted bytewise by name
};

// Walks the folder tree at `root` (a link there is followed; none below it), listing each folder
// exactly once. For each folder: `before` gets its listing, then the subfolders `enter` accepts are
// walked in listing order, then `after` gets the same listing. A folder already being walked higher
// up (a bind-mount loop) is not entered again.
void WalkTree(const std::string& root, const std::function<bool(const SourceEntry&)>& enter,
              const std::function<void(const FolderListing&)>& before,
              const std::function<void(const FolderListing&)>& after);

// What a job's sources were: the root folder first, then every entry below it, each folder before its
// contents; or the single file of a file job.
struct SourceSnapshot {
    std::vector<SourceEntry> entries;
};

SourceSnapshot SnapshotTree(const std::string& folder);
SourceSnapshot SnapshotFile(const std::string& file, const std::string& name);

// True when every file and link of the snapshot is held by the archive under its name and size; a
// tree's root counts as the archive itself, even when it is a link to the folder.
bool HoldsEveryFile(const SourceSnapshot& snapshot, const ArchiveIndex& archive);

// Removes the file or link `before` describes when Examine() still shows the very same item and its
// folder is not read-only; a link is removed itself, never what it leads to. True when it was removed.
bool RemoveIfUnchanged(const SourceEntry& before);

// Deletes what `archive` holds of the snapshot: a file or link only when the archive has an entry of
// its name and size and Examine() still shows the very same item (device, inode, size, modification and
// change times), and neither it nor its folder is read-only; a link is removed itself, never what it
// leads to. Then removes the snapshot's folders, deepest first, each only when the archive holds its
// entry ("name/"; the root needs none), it is empty and it is the same folder as before. Failures are
// ignored: what cannot be deleted stays. Returns the number of items removed.
std::size_t DeleteArchivedSources(const SourceSnapshot& snapshot, const ArchiveIndex& archive);

}  // namespace mMain
