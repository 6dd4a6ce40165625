// file_selection.cpp - walks base folders through the file layer, never following a link inside a
// name, and collects the entries a command adds.
#include "file_selection.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include "archive_publish.h"
#include "failure.h"
#include "sevenzip32.h"
#include "wildcard.h"

namespace sevenzip {
namespace {

constexpr unsigned kFolderFlags = io::kFolder | io::kNoFollow;

std::string joinName(const std::string& prefix, const std::string& name) {
    return prefix.empty() ? name : prefix + "/" + name;
}

std::string leafOf(const std::string& rel) {
    const size_t slash = rel.rfind('/');
    return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

class Selector {
public:
    Selector(const Command& command, const Exclusion& exclusion) : command_(command) {
        std::string parent;
        io::splitPath(exclusion.archivePath, parent, archiveName_);
        tempPrefix_ = exclusion.tempPrefix;
        io::FileInfo st;
        if (io::statAt(io::kCurrentFolder, parent, st, true) == 0) archiveFolder_ = {st.device, st.index};
    }

    std::vector<SelectedEntry> run() {
        for (const NameGroup& group : command_.groups) runGroup(group);
        return std::move(entries_);
    }

private:
    using Identity = std::pair<uint64_t, uint64_t>;
    enum class WalkMode { Everything, Matching };

    void runGroup(const NameGroup& group) {
        const std::string base = group.base.empty() ? "." : group.base;
        // The base folder itself may be a link (a dropped link to a folder): it is followed.
        const io::Fd baseFd = io::openAt(io::kCurrentFolder, base, io::kFolder);
        if (!baseFd.valid()) {
            const int err = errno;
            const int code = (err == ENOENT || err == ENOTDIR) ? SEVENZIP_E_NO_FILES : SEVENZIP_E_READ;
            throw Failure(code, systemMessage("base folder " + base, err));
        }
        std::string absBase;
        if (const int err = io::absolutePath(base, absBase); err != 0)
            throw Failure(SEVENZIP_E_READ, systemMessage("current folder", err));
        absBase = io::withoutTrailingSeparators(absBase);
        absBase_ = absBase == "/" ? "" : absBase;
        // When an -ir! wildcard takes every name, one walk adds the whole tree, and a one-part wildcard
        // name (the "*.*" beside "-ir!*.*") adds nothing more: it is skipped rather than walked again.
        const bool everything = !command_.literalNames &&
                                std::any_of(command_.recursive.begin(), command_.recursive.end(),
                                            [](const std::string& w) { return w == "*" || w == "*.*"; });
        if (everything) walk(baseFd.get(), "", {folderIdentity(baseFd.get())}, WalkMode::Everything);
        for (const std::string& name : group.names) {
            if (everything && hasWildcard(name) && name.find('/') == std::string::npos) continue;
            addOperand(baseFd.get(), name);
        }
        if (!command_.recursive.empty() && !everything)
            walk(baseFd.get(), "", {folderIdentity(baseFd.get())}, WalkMode::Matching);
    }

    static Identity folderIdentity(io::Handle dirFd) {
        io::FileInfo st;
        if (const int err = io::statAt(dirFd, "", st, false); err != 0)
            throw Failure(SEVENZIP_E_READ, systemMessage("base folder", err));
        return {st.device, st.index};
    }

    // Splits a name into components, dropping empty and "." ones; refuses ".." and absolute names.
    static std::vector<std::string> components(const std::string& name) {
        if (io::isAbsoluteName(name))
            throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" must be relative to the base folder");
        std::vector<std::string> parts;
        size_t start = 0;
        while (start <= name.size()) {
            size_t end = start;
            while (end < name.size() && !io::isSeparator(name[end])) ++end;
            std::string part = name.substr(start, end - start);
            if (part == "..")
                throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" leaves the base folder");
            if (!part.empty() && part != ".") parts.push_back(std::move(part));
            start = end + 1;
        }
        if (parts.empty()) throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" names no file");
        return parts;
    }

    void addOperand(io::Handle baseFd, const std::string& name) {
        const std::vector<std::string> parts = components(name);
        const bool literal =
            command_.literalNames ||
            std::none_of(parts.begin(), parts.end(), [](const std::string& p) { return hasWildcard(p); });
        if (!literal) {
            expand(baseFd, "", parts, 0);
            return;
        }
        // Each folder on the way is opened without following a link, so a name never leads out of
        // the base folder through one.
        io::Fd parent;
        io::Handle parentFd = baseFd;
        std::string rel;
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            rel = joinName(rel, parts[i]);
            io::Fd next = io::openAt(parentFd, parts[i], kFolderFlags);
            if (!next.valid()) {
                const int err = errno;
                io::FileInfo st;
                if (io::statAt(parentFd, parts[i], st, false) == 0 && st.kind == io::Kind::Link)
                    throw Failure(
                        SEVENZIP_E_NO_FILES,
                        name + ": " + rel + " is a symbolic link, and links inside a name are not followed");
                const int code = (err == ENOENT || err == ENOTDIR) ? SEVENZIP_E_NO_FILES : SEVENZIP_E_READ;
                throw Failure(code, systemMessage(name, err));
            }
            parent = std::move(next);
            parentFd = parent.get();
        }
        rel = joinName(rel, parts.back());
        io::FileInfo st;
        if (const int err = io::statAt(parentFd, parts.back(), st, false); err != 0) {
            const int code = (err == ENOENT || err == ENOTDIR) ? SEVENZIP_E_NO_FILES : SEVENZIP_E_READ;
            throw Failure(code, systemMessage(name, err));
        }
        if (isExcluded(parentFd, parts.back()))
            throw Failure(SEVENZIP_E_NO_FILES, name + ": is the archive being written");
        addFound(parentFd, rel, st, true);
    }

    // Matches parts[index...] below the folder dirFd (whose entry name is prefix).
    void expand(io::Handle dirFd, const std::string& prefix, const std::vector<std::string>& parts,
                size_t index) {
        const bool lastPart = index + 1 == parts.size();
        for (const std::string& name : listNames(dirFd, prefix)) {
            if (!wildcardMatch(parts[index], name)) continue;
            io::FileInfo st;
            if (!statListed(dirFd, name, st)) continue;
            const std::string rel = joinName(prefix, name);
            if (lastPart) {
                addFound(dirFd, rel, st, false);
            } else if (st.kind == io::Kind::Folder) {
                expand(openFolder(dirFd, name, rel).get(), rel, parts, index + 1);
            }
        }
    }

    // Adds something found by name or wildcard: a folder comes with its whole tree.
    void addFound(io::Handle parentFd, const std::string& rel, const io::FileInfo& st, bool named) {
        const std::string leaf = leafOf(rel);
        if (st.kind == io::Kind::Folder) {
            add(EntryKind::Folder, rel, st);
            walk(openFolder(parentFd, leaf, rel).get(), rel, {Identity{st.device, st.index}},
                 WalkMode::Everything);
        } else if (st.kind == io::Kind::File || st.kind == io::Kind::Link) {
            addFileOrLink(parentFd, leaf, rel, st);
        } else if (named) {
            throw Failure(SEVENZIP_E_READ, rel + ": not a regular file, folder or symbolic link");
        }
    }

    // Walks a folder's tree. Everything: every entry is added. Matching: entries whose name matches an
    // -ir! wildcard are added. Subfolders are walked in both modes; links are never descended.
    void walk(io::Handle dirFd, const std::string& prefix, std::vector<Identity> ancestors, WalkMode mode) {
        for (const std::string& name : listNames(dirFd, prefix)) {
            io::FileInfo st;
            if (!statListed(dirFd, name, st)) continue;
            const std::string rel = joinName(prefix, name);
            const bool wanted = mode == WalkMode::Everything || matchesRecursive(name);
            if (st.kind == io::Kind::Folder) {
                const Identity id{st.device, st.index};
                if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) continue;
                if (wanted) add(EntryKind::Folder, rel, st);
                std::vector<Identity> below = ancestors;
                below.push_back(id);
                walk(openFolder(dirFd, name, rel).get(), rel, std::move(below), mode);
            } else if (wanted && (st.kind == io::Kind::File || st.kind == io::Kind::Link)) {
                addFileOrLink(dirFd, name, rel, st);
            }
            // FIFOs, sockets and devices are skipped and never opened.
        }
    }

    // A link to a regular file is archived as that file, read through the link; any other link (to a
    // folder, to a special file, dangling) is stored as a link.
    void addFileOrLink(io::Handle dirFd, const std::string& leaf, const std::string& rel,
                       const io::FileInfo& st) {
        if (st.kind == io::Kind::File) {
            add(EntryKind::File, rel, st);
            return;
        }
        io::FileInfo target;
        if (io::statAt(dirFd, leaf, target, true) == 0 && target.kind == io::Kind::File) {
            add(EntryKind::File, rel, target, "", true);
            return;
        }
        std::string text;
        if (const int err = io::readLinkAt(dirFd, leaf, text); err != 0)
            throw Failure(SEVENZIP_E_READ, systemMessage(rel, err));
        add(EntryKind::Link, rel, st, std::move(text));
    }

    // The entry of a listed name as it is now, without following a link; false when it is gone or is
    // a temporary file a killed run of this library left behind.
    static bool statListed(io::Handle dirFd, const std::string& name, io::FileInfo& st) {
        if (io::statAt(dirFd, name, st, false) != 0) return false;
        return !(st.kind == io::Kind::File && isTemporaryName(name));
    }

    static io::Fd openFolder(io::Handle dirFd, const std::string& name, const std::string& rel) {
        io::Fd fd = io::openAt(dirFd, name, kFolderFlags);
        if (!fd.valid()) throw Failure(SEVENZIP_E_READ, systemMessage(rel, errno));
        return fd;
    }

    bool matchesRecursive(const std::string& name) const {
        return std::any_of(command_.recursive.begin(), command_.recursive.end(), [&](const std::string& w) {
            return command_.literalNames ? w == name : wildcardMatch(w, name);
        });
    }

    // The folder's names, sorted, without the archive and its temporary files.
    std::vector<std::string> listNames(io::Handle dirFd, const std::string& prefix) {
        std::vector<std::string> names;
        if (const int err = io::listFolder(dirFd, names); err != 0)
            throw Failure(SEVENZIP_E_READ, systemMessage(prefix.empty() ? "." : prefix, err));
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const std::string& name) { return isExcluded(dirFd, name); }),
                    names.end());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The archive's name, or a regular file with the exact shape of its temporary files, in its folder.
    bool isExcluded(io::Handle dirFd, const std::string& name) const {
        const bool temporary = name.compare(0, tempPrefix_.size(), tempPrefix_) == 0 &&
                               name.size() == tempPrefix_.size() + kTempSuffixLength && isTemporaryName(name);
        if (name != archiveName_ && !temporary) return false;
        io::FileInfo st;
        if (temporary && (io::statAt(dirFd, name, st, false) != 0 || st.kind != io::Kind::File)) return false;
        return io::statAt(dirFd, "", st, false) == 0 && Identity{st.device, st.index} == archiveFolder_;
    }

    void add(EntryKind kind, const std::string& rel, const io::FileInfo& st, std::string linkTarget = "",
             bool throughLink = false) {
        const Identity id{st.device, st.index};
        auto [it, inserted] = seen_.emplace(rel, id);
        if (!inserted) {
            if (it->second == id) return;
            throw Failure(SEVENZIP_E_SYNTAX, "two different files would be stored as \"" + rel + "\"");
        }
        SelectedEntry entry;
        entry.kind = kind;
        entry.name = rel;
        entry.path = absBase_ + "/" + rel;
        entry.linkTarget = std::move(linkTarget);
        entry.mode = st.mode;
        entry.group = st.group;
        entry.identity = io::identityOf(st);
        if (kind != EntryKind::File) entry.identity.size = 0;
        entry.throughLink = throughLink;
        entries_.push_back(std::move(entry));
    }

    const Command& command_;
    std::string archiveName_;
    std::string tempPrefix_;
    Identity archiveFolder_{~0ull, ~0ull};
    std::string absBase_;
    std::map<std::string, Identity> seen_;
    std::vector<SelectedEntry> entries_;
};

}  // namespace

std::vector<SelectedEntry> selectEntries(const Command& command, const Exclusion& exclusion) {
    return Selector(command, exclusion).run();
}

}  // namespace sevenzip
