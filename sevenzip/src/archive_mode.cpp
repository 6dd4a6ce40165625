// archive_mode.cpp - which classes of users could read every entry, from the entries' bits, groups and
// access rules and those of the folders that guard them.
#include "archive_mode.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <map>

#include "file_io.h"

namespace sevenzip {
namespace {

// The classes are kept as their read bits: group 0040, other 0004.
constexpr mode_t kBothClasses = 0044;

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

class ModeCheck {
public:
    ModeCheck(const std::string& archiveFolder, gid_t group) : group_(group) {
        if (io::realPath(archiveFolder, archiveReal_) != 0) archiveReal_.clear();
    }

    // The classes that could read this entry where it stands.
    mode_t entryClasses(const SelectedEntry& entry) {
        if (archiveReal_.empty()) return 0;
        mode_t classes = guardedBy(parentOf(entry.path));
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
    mode_t own(mode_t bits, gid_t group, const std::string& path, bool follow) const {
        bool extended = true;
        if (io::hasExtendedAccessRules(path, follow, extended) != 0 || extended) return 0;
        return group == group_ ? bits : bits & ~mode_t{0040};
    }

    // The classes that the folders from the archive's side down to `folder` let search their way.
    mode_t guardedBy(const std::string& folder) {
        const auto known = chains_.find(folder);
        if (known != chains_.end()) return known->second;
        mode_t classes = 0;
        std::string real;
        if (io::realPath(folder, real) == 0) classes = chain(real);
        chains_.emplace(folder, classes);
        return classes;
    }

    // Every folder of the real path `real` below the deepest folder it shares with the archive's.
    mode_t chain(const std::string& real) {
        if (real == "/") return kBothClasses;  // every path shares the root
        size_t shared = 0;  // length of the shared folder's path, up to a component boundary
        for (size_t i = 0; i <= real.size() && i <= archiveReal_.size(); ++i) {
            const bool endHere =
                (i == real.size() || real[i] == '/') && (i == archiveReal_.size() || archiveReal_[i] == '/');
            if (endHere) shared = i;
            if (i == real.size() || i == archiveReal_.size() || real[i] != archiveReal_[i]) break;
        }
        mode_t classes = kBothClasses;
        for (size_t at = real.find('/', shared + 1); classes != 0; at = real.find('/', at + 1)) {
            const std::string folder = at == std::string::npos ? real : real.substr(0, at);
            if (folder.size() > shared) classes &= folderClasses(folder);
            if (at == std::string::npos) break;
        }
        return classes;
    }

    mode_t folderClasses(const std::string& folder) {
        const auto known = folders_.find(folder);
        if (known != folders_.end()) return known->second;
        struct stat st {};
        mode_t classes = 0;
        if (io::statAt(AT_FDCWD, folder, st, true) == 0 && S_ISDIR(st.st_mode))
            classes = own(static_cast<mode_t>((st.st_mode & 0011) << 2), st.st_gid, folder, true);
        folders_.emplace(folder, classes);
        return classes;
    }

    gid_t group_;
    std::string archiveReal_;
    std::map<std::string, mode_t> chains_;   // by folder as the entries name it
    std::map<std::string, mode_t> folders_;  // by real path
};

}  // namespace

mode_t archiveMode(const std::vector<SelectedEntry>& entries, const std::string& archiveFolder,
                   gid_t archiveGroup) {
    ModeCheck check(archiveFolder, archiveGroup);
    mode_t classes = kBothClasses;
    for (const SelectedEntry& entry : entries) {
        if (classes == 0) break;
        classes &= check.entryClasses(entry);
    }
    mode_t mode = 0666 & ~io::currentUmask();
    if ((classes & 0040) == 0) mode &= ~mode_t{0060};
    if ((classes & 0004) == 0) mode &= ~mode_t{0006};
    return mode;
}

}  // namespace sevenzip
