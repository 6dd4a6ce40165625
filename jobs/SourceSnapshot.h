// SourceSnapshot.h - what a job's sources were before the archiver ran, and the deletion of exactly
// those sources that the archive now holds and that have not changed since.
//
// Links are never followed: a symbolic link is an entry of its own (the archiver stores it as a link,
// its target text as content), so no walk can loop or leave the dropped tree through one. FIFOs,
// sockets and devices are never opened; they are not archived and so never deleted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveIndex.h"

namespace mMain {

enum class EntryType { File, Folder, Link, Other };

// One item as lstat() saw it.
struct SourceEntry {
    std::string name;  // relative to the snapshot's root ('/'-separated); the name itself for one file
    std::string path;  // full path
    EntryType type = EntryType::Other;
    mode_t mode = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0, mtimeNsec = 0;
    std::int64_t ctimeSec = 0, ctimeNsec = 0;
};

// The entry at `path`, not following a link; nullopt when it cannot be examined.
std::optional<SourceEntry> Examine(const std::string& path, const std::string& name);

// The entries of folder `folder` (a path ending in '/' or not), "." and ".." left out, sorted bytewise
// by name. An unreadable folder gives an empty list.
std::vector<SourceEntry> ListFolder(const std::string& folder);

// A folder tree as it was: the root folder first, then every entry below it, each folder before its
// contents. Links, FIFOs and the like are recorded but not entered; a folder met again on its own path
// (a bind-mount loop) is not entered again.
struct SourceSnapshot {
    std::string root;  // the root folder's path without trailing '/', or the single file's folder
    std::vector<SourceEntry> entries;
};

SourceSnapshot SnapshotTree(const std::string& folder);

// A snapshot of one file (or link) only.
SourceSnapshot SnapshotFile(const std::string& file, const std::string& name);

// True when an item has no write permission at all: such items are not deleted (deletion never
// forces), and neither is anything inside such a folder.
bool IsReadOnly(mode_t mode);

// Deletes what `archive` holds of the snapshot: a file or link only when the archive has an entry of
// its name and size and lstat() still shows the very same item (device, inode, size, modification and
// change times), and neither it nor its folder is read-only. Then removes the snapshot's folders,
// deepest first, each only when it is empty and the same folder as before. Failures are ignored: what
// cannot be deleted stays. Returns the number of items removed.
std::size_t DeleteArchivedSources(const SourceSnapshot& snapshot, const ArchiveIndex& archive);

}  // namespace mMain
