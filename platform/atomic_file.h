// atomic_file.h - reading a small file whole, replacing a file's content atomically, and making a
// folder's names durable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class FileReadStatus {
    Ok,          // `out` holds the whole content
    Missing,     // nothing at the path (or a symbolic link to nothing)
    Unreadable,  // something is there but it is not a regular file we may read, or it exceeds the limit
};

// Reads the regular file at `path` into `out` when it holds at most `max_bytes` bytes. Never blocks on
// a FIFO or a device: only regular files are read.
FileReadStatus ReadWholeFile(const std::string& path, size_t max_bytes, std::string& out);

// Replaces the content of the file at `path` (creating it when missing) so that a reader sees either the
// old or the new content, never a mix, even after a crash: writes a temporary file in the same folder,
// flushes it to disk, renames it over the target and flushes the folder. A symbolic link is followed
// and its target replaced; the link stays. An existing file keeps its permission bits (and, where
// allowed, its owner); a new one gets 0666 less the umask. Refuses an existing file whose mode bits do
// not let us write it (as owner, group member or other; the privileged user too), or that the system
// refuses to let us write. Result false on any failure, with the target untouched and the temporary file
// removed.
bool ReplaceFileAtomically(const std::string& path, std::string_view content);

// Flushes the folder `folder` itself to disk, so that names just created or renamed in it survive a
// crash. False when the folder cannot be opened or flushed.
bool FlushFolder(const std::string& folder);
