// file_selection.h - finds the entries a command adds: base folders, names, wildcards and -ir! walks.
//
// Rules:
// - A name (or wildcard) is relative to its base folder; "." components are dropped; ".." and absolute
//   names are refused, so every entry stays inside its base folder.
// - A plain name must exist (else SEVENZIP_E_NO_FILES). A wildcard may match nothing. A name or match
//   that is a folder adds the folder entry and its whole tree.
// - Each -ir! wildcard walks every base folder's whole tree and adds every file, link and folder whose
//   name matches it.
// - The walk never follows a symbolic link (a link is added as a link, with its target text), never
//   enters a folder twice on one path (bind-mount loops), and skips FIFOs, sockets and devices without
//   opening them. A plain name naming one of those is an error (SEVENZIP_E_READ).
// - The archive itself and its temporary files are never selected, even inside the tree; nor is a
//   temporary file that a killed run left behind, met by a walk or a wildcard (named plainly, it is).
// - Entries come out in a stable order: operands in order, each folder's names sorted bytewise, a
//   folder before its contents. The same file reached twice is added once; two different things under
//   one entry name is an error (SEVENZIP_E_SYNTAX).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command_parser.h"

namespace sevenzip {

enum class EntryKind { File, Folder, Link };

struct SelectedEntry {
    EntryKind kind = EntryKind::File;
    std::string name;        // the entry name: relative, '/'-separated, no trailing '/'
    std::string path;        // the absolute path to read
    std::string linkTarget;  // for a link: its target text
    uint32_t mode = 0;       // st_mode (type and permission bits)
    uint64_t size = 0;       // for a file: its size
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

// What the selection must leave out: the archive at its absolute path, and any file beside it whose
// name starts with tempPrefix (its temporary files).
struct Exclusion {
    std::string archivePath;  // absolute
    std::string tempPrefix;   // a file name prefix in the archive's folder
};

// Throws Failure: SEVENZIP_E_NO_FILES for a missing base folder or plain name, SEVENZIP_E_READ for a
// folder that cannot be listed or an entry of a kind that cannot be archived, SEVENZIP_E_SYNTAX for a
// name that leaves its base folder or a name clash.
std::vector<SelectedEntry> selectEntries(const Command& command, const Exclusion& exclusion);

// The absolute form of a path: relative paths are joined to the current folder; nothing is resolved.
std::string absolutePath(const std::string& path);

}  // namespace sevenzip
