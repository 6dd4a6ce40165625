// archive_mode.cpp - which classes of users could read every entry, from the entries' bits, groups and
// access rules and those of the folders that guard them.
#include "archive_mode.h"

#include <map>

#include "file_io.h"

namespace sevenzip {
namespace {

// The classes are kept as their read bits: group 0040, other 0004.
constexpr uint32_t kBothClasses = 0044;

std::string parentOf(const std::string& path) {
    std::string folder, name;
    io::splitPath(path, folder, name);
    return folder;
}

class ModeCheck {
public:
    ModeCheck(const std::string& archiveFolder, uint32_t group) : group_(group) {
        if (io::realPath(archiveFolder, archiveReal_) != 0) archiveReal_.clear();
    }

    // The classes that could read this entry where it stands.
    uint32_t entryClasses(const SelectedEntry& entry) {
        if (archiveReal_.empty()) return 0;
        uint32_t classes = guardedBy(parentOf(entry.path));
        if (entry.kind == EntryKind::Link) return classes;
        classes &= own(entry.mode & kBothClasses, entry.group, entry.path, entry.throughLink);
        if (entry.throughLink && classes != 0) {
            std::string real;
            if (io::realPath(entry.path, real) != 0) return 0;
            classes &= guardedBy(parentOf(real));
        }
        return classes;
    }

private:
    // The classes an entry's or a folder's own attributes let through: `bits` are its read bits (for a
    // folder, its search bits moved to the read positions).
    uint32_t own(uint32_t bits, uint32_t group, const std::string& path, bool follow) const {
        bool extended = true;
        if (io::hasExtendedAccessRules(path, follow, extended) != 0 || extended) return 0;
        return group == group_ ? bits : bits & ~uint32_t{0040};
    }

    // The classes that the folders from the archive's side down to `folder` let search their way.
    uint32_t guardedBy(const std::string& folder) {
        const auto known = chains_.find(folder);
        if (known != chains_.end()) return known->second;
        uint32_t classes = 0;
        std::string real;
        if (io::realPath(folder, real) == 0) classes = chain(real);
        chains_.emplace(folder, classes);
        return classes;
    }

    // Every folder of the real path `real` below the deepest folder it shares with the archive's.
    uint32_t chain(const std::string& real) {
        if (real == "/") return kBothClasses;  // every path shares the root
        size_t shared = 0;  // length of the shared folder's path, up to a component boundary
        for (size_t i = 0; i <= real.size() && i <= archiveReal_.size(); ++i) {
            const bool endHere =
                (i == real.size() || real[i] == '/') && (i == archiveReal_.size() || archiveReal_[i] == '/');
            if (endHere) shared = i;
            if (i == real.size() || i == archiveReal_.size() || real[i] != archiveReal_[i]) break;
        }
        uint32_t classes = kBothClasses;
        for (size_t at = real.find('/', shared + 1); classes != 0; at = real.find('/', at + 1)) {
            const std::string folder = at == std::string::npos ? real : real.substr(0, at);
            if (folder.size() > shared) classes &= folderClasses(folder);
            if (at == std::string::npos) break;
        }
        return classes;
    }

    uint32_t folderClasses(const std::string& folder) {
        const auto known = folders_.find(folder);
        if (known != folders_.end()) return known->second;
        io::FileInfo info;
        uint32_t classes = 0;
        if (io::statAt(io::kCurrentFolder, folder, info, true) == 0 && info.kind == io::Kind::Folder)
            classes = own((info.mode & 0011) << 2, info.group, folder, true);
        folders_.emplace(folder, classes);
        return classes;
    }

    uint32_t group_;
    std::string archiveReal_;
    std::map<std::string, uint32_t> chains_;   // by folder as the entries name it
    std::map<std::string, uint32_t> folders_;  // by real path
};

}  // namespace

uint32_t archiveMode(const std::vector<SelectedEntry>& entries, const std::string& archiveFolder,
                     uint32_t archiveGroup) {
    if (!io::hasPermissionBits()) return 0;
    ModeCheck check(archiveFolder, archiveGroup);
    uint32_t classes = kBothClasses;
    for (const SelectedEntry& entry : entries) {
        if (classes == 0) break;
        classes &= check.entryClasses(entry);
    }
    uint32_t mode = 0666 & ~io::currentUmask();
    if ((classes & 0040) == 0) mode &= ~uint32_t{0060};
    if ((classes & 0004) == 0) mode &= ~uint32_t{0006};
    return mode;
}

}  // namespace sevenzip
