// archive_mode.h - the permission bits an archive gets: nobody may read it who could not read what it
// holds where it stands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_selection.h"

namespace sevenzip {

// 0666 less the umask; then the group class, and the other class, keep read and write only when that
// class could read every entry where the entry stands:
// - the entry's permission bits grant the class read (a link stored as a link has no bits of its own);
// - every folder that guards the entry grants the class search: the folders below the deepest folder
//   the entry's real folder shares with the archive's real folder, on the entry's side (for a file read
//   through a link, those on the way to the link and those on the way to the file's real path);
// - for the group class, the entry and those folders belong to the archive's group;
// - neither the entry nor any of those folders has access rules beyond its permission bits (an ACL):
//   such rules make the archive private to its owner.
// Whatever cannot be checked (a path that no longer resolves, an unreadable attribute) counts as
// denying. archiveFolder: the folder the archive goes to; archiveGroup: the group of the archive's file.
// Where files carry no permission bits (io::hasPermissionBits(), false on Windows) nothing is checked
// and the result is 0: the archive keeps the access control list its folder passes on.
uint32_t archiveMode(const std::vector<SelectedEntry>& entries, const std::string& archiveFolder,
                     uint32_t archiveGroup);

}  // namespace sevenzip
