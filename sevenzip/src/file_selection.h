// file_selection.h - finds the entries a command adds: base folders, names, wildcards and -ir! walks,
// by the rules written in sevenzip32.h.
//
// Names are resolved component by component from the opened base folder with openat(O_NOFOLLOW) and
// fstatat(AT_SYMLINK_NOFOLLOW), so no link inside a name is ever followed; a link met as an entry is
// looked through only to see whether it points to a regular file. A folder met twice on one path
// (bind-mount loops) is not entered again. Entries come out in a stable order: operands in order, each
// folder's names sorted bytewise, a folder before its contents. The same file reached twice under one
// name is added once; two different things under one entry name is an error (SEVENZIP_E_SYNTAX).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command_parser.h"
#include "file_io.h"

namespace sevenzip {

enum class EntryKind { File, Folder, Link };

struct SelectedEntry {
    EntryKind kind = EntryKind::File;
    std::string name;           // the entry name: relative, '/'-separated, no trailing '/'
    std::string path;           // the absolute path to read
    std::string linkTarget;     // for a link: its target text
    uint32_t mode = 0;          // st_mode (type and permission bits); a file read through a link: the file's
    uint32_t group = 0;         // the owning group, from the same stat as the mode
    io::FileIdentity identity;  // size is a file's size, 0 for folders and links
    bool throughLink = false;   // a file whose name is a link to it: read through the link
};

// What the selection must leave out: the archive at its absolute path, and the regular files beside it
// named tempPrefix and a random suffix (its temporary files; see archive_publish.h).
struct Exclusion {
    std::string archivePath;  // absolute
    std::string tempPrefix;   // a file name prefix in the archive's folder
};

// Throws Failure: SEVENZIP_E_NO_FILES for a missing base folder or plain name (also one that would pass
// through a link), SEVENZIP_E_READ for a folder that cannot be listed or an entry of a kind that cannot
// be archived, SEVENZIP_E_SYNTAX for a name that leaves its base folder or a name clash.
std::vector<SelectedEntry> selectEntries(const Command& command, const Exclusion& exclusion);

}  // namespace sevenzip
