// SourceSnapshot.h - what a job's sources were before the archiver ran, the one walk over a folder
// tree that the jobs use, and the deletion of exactly those sources that the archive now holds and
// that have not changed since.
//
// The walk never enters a link: a link to a regular file is archived with the file's content under
// the link's name; a link to a folder, a dangling link or a link to anything else is stored as a link
// (its target text). No walk can loop or leave the dropped tree through one. FIFOs, sockets and
// devices are never opened; they are not archived and so never deleted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ArchiveIndex.h"

namespace mMain {

// File is a regular file; FileLink a link to a regular file (archived with that file's content);
// Link any other link (stored as its target text); Other a FIFO, socket or device.
enum class EntryType { File, Folder, FileLink, Link, Other };

// Which item a path leads to: the same two numbers mean the same file or folder.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// One item as lstat() saw it. For a FileLink, `size` is the size of the file the link leads to (what
// the archive holds under the link's name); for a Link it is the length of its target text.
struct SourceEntry {
    std::string name;  // relative to the walk's root ('/'-separated); the name itself for one file
    std::string path;  // full path
    EntryType type = EntryType::Other;
    mode_t mode = 0;
    FileId id;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0, mtimeNsec = 0;
    std::int64_t ctimeSec = 0, ctimeNsec = 0;
};

// The entry at `path`, not following a link; nullopt when it cannot be examined.
std::optional<SourceEntry> Examine(const std::string& path, const std::string& name);

// One folder as the walk listed it. An entry the listing names but lstat() cannot reach (its path
// passes the system's limit, its folder grants no search) stays in `entries` with its name, path and
// the type the listing gives, a link or an unknown type counting as a File; it has no id, size or
// times, so it never matches what lstat() shows and nothing is deleted for it.
struct FolderListing {
    std::string path;                  // the folder's path, ending in '/'
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

// True when an item has no write permission at all: such items are not deleted (deletion never
// forces), and neither is anything inside such a folder.
bool IsReadOnly(mode_t mode);

// Removes the file or link `before` describes when lstat() still shows the very same item and its
// folder is not read-only; a link is removed itself, never what it leads to. True when it was removed.
bool RemoveIfUnchanged(const SourceEntry& before);

// Deletes what `archive` holds of the snapshot: a file or link only when the archive has an entry of
// its name and size and lstat() still shows the very same item (device, inode, size, modification and
// change times), and neither it nor its folder is read-only; a link is removed itself, never what it
// leads to. Then removes the snapshot's folders, deepest first, each only when the archive holds its
// entry ("name/"; the root needs none), it is empty and it is the same folder as before. Failures are
// ignored: what cannot be deleted stays. Returns the number of items removed.
std::size_t DeleteArchivedSources(const SourceSnapshot& snapshot, const ArchiveIndex& archive);

}  // namespace mMain
