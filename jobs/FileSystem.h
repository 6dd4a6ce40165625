// FileSystem.h - everything the jobs ask the file system, in one seam with one source file per
// platform (FileSystem_posix.cpp, FileSystem_win32.cpp), chosen by the build. Paths are UTF-8 text
// on Windows (converted to the wide API inside) and bytes as the file system takes them elsewhere.
//
// How the two platforms answer the questions the jobs ask:
// - separator and roots: '/' and "/" on POSIX systems; '\\' with drive roots "C:\" and share roots
//   "\\server\share\" on Windows;
// - hidden: a name starting with '.' on POSIX systems; the hidden attribute on Windows;
// - system: a FIFO, socket or device on POSIX systems; the system attribute (and devices) on Windows;
// - read-only: no write permission bit at all on POSIX systems; the read-only attribute on Windows;
// - links: symbolic links on POSIX systems; symbolic links and junctions (reparse points) on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mMain {

// File is a regular file; FileLink a link to a regular file (archived with that file's content);
// Link any other link (stored as its target text); Other a FIFO, socket or device.
enum class EntryType { File, Folder, FileLink, Link, Other };

// Which item a path leads to: the same two numbers mean the same file or folder (device and inode on
// POSIX systems, volume serial number and file index on Windows).
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// One item as the file system shows it, a link at the end of its path not followed. For a FileLink,
// `size` is the size of the file the link leads to (what the archive holds under the link's name); for
// a Link it is the length of its target text. The times are the modification time and the change
// time (status change on POSIX systems, the change time of the file's information on Windows).
struct SourceEntry {
    std::string name;  // relative to the walk's root (separated by '/', as the archive names it)
    std::string path;  // full path, in the platform's path text
    EntryType type = EntryType::Other;
    bool hidden = false;
    bool system = false;
    bool readOnly = false;
    FileId id;
    std::uint64_t size = 0;
    std::int64_t mtimeSec = 0, mtimeNsec = 0;
    std::int64_t ctimeSec = 0, ctimeNsec = 0;
};

// The separator of path text on this platform.
char PathSeparator();

// The length of the root that begins `path`: "/" on POSIX systems; on Windows "C:\" and
// "\\server\share\" (with their separators). 0 for a path that is not a full path: only full paths
// are worked on.
std::size_t RootLength(const std::string& path);

// The entry at `path`, a link at its end not followed; nullopt when it cannot be examined.
std::optional<SourceEntry> Examine(const std::string& path, const std::string& name);

// What `path` leads to, a link at its end followed: the type, size, id and attributes of the target,
// with `hidden` still that of the name as dropped; nullopt when the path or its target is gone.
std::optional<SourceEntry> ExamineTarget(const std::string& path);

// True when `path` names the root of a file system: "/" (whatever path leads there), a drive or a share.
bool IsFileSystemRoot(const std::string& path);

// True when `path` itself (trailing separators ignored) is a link.
bool IsLink(const std::string& path);

// One name of a folder's listing, with the type and the hidden and system marks the listing gives.
struct ListedName {
    std::string name;
    EntryType type = EntryType::File;
    bool hidden = false;
    bool system = false;
};

// The names in `folder` ("." and ".." left out), in the order the platform lists them; nullopt when
// the folder cannot be listed.
std::optional<std::vector<ListedName>> ListFolder(const std::string& folder);

// True when something is at `path`: a file, a folder, a link (even a dangling one), a FIFO, a socket or
// a device. An archive is never created there.
bool NameTaken(const std::string& path);

// True when the folder at `folder` lets its entries be removed without forcing anything.
bool FolderAllowsRemoval(const std::string& folder);

// Removes the file or link at `path` (a link itself, never what it leads to) / the empty folder at
// `path`. True when it was removed.
bool RemoveFileEntry(const std::string& path);
bool RemoveEmptyFolder(const std::string& path);

// Flushes the folder's names to disk, so a name just created in it survives a crash.
bool FlushFolderNames(const std::string& folder);

// Opens the ZIP archive at `path` with minizip's reader (unzClose closes it); null when it cannot.
void* OpenArchiveReader(const std::string& path);

}  // namespace mMain
