// file_selection.cpp - walks base folders with openat()/fstatat(), never following links, and collects
// the entries a command adds.
#include "file_selection.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <utility>

#include "archive_publish.h"
#include "failure.h"
#include "sevenzip32.h"
#include "wildcard.h"

namespace sevenzip {
namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string joinName(const std::string& prefix, const std::string& name) {
    return prefix.empty() ? name : prefix + "/" + name;
}

class Selector {
public:
    Selector(const Command& command, const Exclusion& exclusion) : command_(command) {
        const size_t slash = exclusion.archivePath.rfind('/');
        const std::string parent = slash == 0 ? "/" : exclusion.archivePath.substr(0, slash);
        archiveName_ = exclusion.archivePath.substr(slash + 1);
        tempPrefix_ = exclusion.tempPrefix;
        struct stat st {};
        if (stat(parent.c_str(), &st) == 0) archiveFolder_ = {st.st_dev, st.st_ino};
    }

    std::vector<SelectedEntry> run() {
        for (const NameGroup& group : command_.groups) runGroup(group);
        return std::move(entries_);
    }

private:
    using Identity = std::pair<uint64_t, uint64_t>;

    void runGroup(const NameGroup& group) {
        const std::string base = group.base.empty() ? "." : group.base;
        const int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            const int code = (err == ENOENT || err == ENOTDIR) ? SEVENZIP_E_NO_FILES : SEVENZIP_E_READ;
            throw Failure(code, systemMessage("base folder " + base, err));
        }
        Fd baseFd(fd);
        std::string absBase = absolutePath(base);
        if (absBase.size() > 1 && absBase.back() == '/') absBase.pop_back();
        absBase_ = absBase == "/" ? "" : absBase;
        // When an -ir! wildcard takes every name, one walk adds the whole tree, and a one-part wildcard
        // name (the "*.*" beside "-ir!*.*") adds nothing more: it is skipped rather than walked again.
        const bool everything = !command_.literalNames &&
                                std::any_of(command_.recursive.begin(), command_.recursive.end(),
                                            [](const std::string& w) { return w == "*" || w == "*.*"; });
        if (everything) {
            walk(baseFd.get(), "", ancestorsOf(baseFd.get()), WalkMode::Everything);
        }
        for (const std::string& name : group.names) {
            if (everything && hasWildcard(name) && name.find('/') == std::string::npos) continue;
            addOperand(baseFd.get(), name);
        }
        if (!command_.recursive.empty() && !everything) {
            walk(baseFd.get(), "", ancestorsOf(baseFd.get()), WalkMode::Matching);
        }
    }

    static std::vector<Identity> ancestorsOf(int dirFd) {
        struct stat st {};
        if (fstat(dirFd, &st) != 0) throw Failure(SEVENZIP_E_READ, systemMessage("base folder", errno));
        return {Identity{st.st_dev, st.st_ino}};
    }

    // Splits a name into components, dropping empty and "." ones; refuses ".." and absolute names.
    static std::vector<std::string> components(const std::string& name) {
        if (name.front() == '/')
            throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" must be relative to the base folder");
        std::vector<std::string> parts;
        size_t start = 0;
        while (start <= name.size()) {
            size_t end = name.find('/', start);
            if (end == std::string::npos) end = name.size();
            std::string part = name.substr(start, end - start);
            if (part == "..")
                throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" leaves the base folder");
            if (!part.empty() && part != ".") parts.push_back(std::move(part));
            start = end + 1;
        }
        if (parts.empty()) throw Failure(SEVENZIP_E_SYNTAX, "name \"" + name + "\" names no file");
        return parts;
    }

    void addOperand(int baseFd, const std::string& name) {
        const std::vector<std::string> parts = components(name);
        const bool literal =
            command_.literalNames ||
            std::none_of(parts.begin(), parts.end(), [](const std::string& p) { return hasWildcard(p); });
        if (literal) {
            std::string rel;
            for (const std::string& part : parts) rel = joinName(rel, part);
            struct stat st {};
            if (fstatat(baseFd, rel.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                const int err = errno;
                const int code = (err == ENOENT || err == ENOTDIR) ? SEVENZIP_E_NO_FILES : SEVENZIP_E_READ;
                throw Failure(code, systemMessage(name, err));
            }
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
                throw Failure(SEVENZIP_E_READ, name + ": not a regular file, folder or symbolic link");
            const size_t slash = rel.rfind('/');
            int parentFd = baseFd;
            int opened = -1;
            if (slash != std::string::npos) {
                opened = openat(baseFd, rel.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (opened < 0) throw Failure(SEVENZIP_E_READ, systemMessage(name, errno));
                parentFd = opened;
            }
            Fd parent(opened);
            if (isExcluded(parentFd, rel.substr(slash == std::string::npos ? 0 : slash + 1)))
                throw Failure(SEVENZIP_E_NO_FILES, name + ": is the archive being written");
            addFound(parentFd, rel, st, true);
            return;
        }
        expand(baseFd, "", parts, 0);
    }

    // Matches parts[index...] below the folder dirFd (whose entry name is prefix).
    void expand(int dirFd, const std::string& prefix, const std::vector<std::string>& parts, size_t index) {
        const bool lastPart = index + 1 == parts.size();
        for (const std::string& name : listNames(dirFd, prefix)) {
            if (!wildcardMatch(parts[index], name)) continue;
            struct stat st {};
            if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
            const std::string rel = joinName(prefix, name);
            if (lastPart) {
                addFound(dirFd, rel, st, false);
            } else if (S_ISDIR(st.st_mode)) {
                const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) throw Failure(SEVENZIP_E_READ, systemMessage(rel, errno));
                Fd child(fd);
                expand(child.get(), rel, parts, index + 1);
            }
        }
    }

    // Adds something found by name or wildcard: a folder comes with its whole tree.
    void addFound(int parentFd, const std::string& rel, const struct stat& st, bool named) {
        const std::string leaf = rel.substr(rel.rfind('/') == std::string::npos ? 0 : rel.rfind('/') + 1);
        if (S_ISDIR(st.st_mode)) {
            add(EntryKind::Folder, rel, st, "");
            const int fd = openat(parentFd, leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) throw Failure(SEVENZIP_E_READ, systemMessage(rel, errno));
            Fd child(fd);
            walk(child.get(), rel, {Identity{st.st_dev, st.st_ino}}, WalkMode::Everything);
        } else if (S_ISREG(st.st_mode)) {
            add(EntryKind::File, rel, st, "");
        } else if (S_ISLNK(st.st_mode)) {
            add(EntryKind::Link, rel, st, readLink(parentFd, leaf, rel));
        } else if (named) {
            throw Failure(SEVENZIP_E_READ, rel + ": not a regular file, folder or symbolic link");
        }
    }

    enum class WalkMode { Everything, Matching };

    // Adds the contents of the folder dirFd (entry name prefix): everything, or what the -ir! wildcards
    // match. Subfolders are walked in both modes.
    void walk(int dirFd, const std::string& prefix, std::vector<Identity> ancestors, WalkMode mode) {
        for (const std::string& name : listNames(dirFd, prefix)) {
            struct stat st {};
            if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
            const std::string rel = joinName(prefix, name);
            const bool wanted = mode == WalkMode::Everything || matchesRecursive(name);
            if (S_ISDIR(st.st_mode)) {
                const Identity id{st.st_dev, st.st_ino};
                if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) continue;
                if (wanted) add(EntryKind::Folder, rel, st, "");
                const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) throw Failure(SEVENZIP_E_READ, systemMessage(rel, errno));
                Fd child(fd);
                std::vector<Identity> below = ancestors;
                below.push_back(id);
                walk(child.get(), rel, std::move(below), mode);
            } else if (!wanted) {
                continue;
            } else if (S_ISREG(st.st_mode)) {
                add(EntryKind::File, rel, st, "");
            } else if (S_ISLNK(st.st_mode)) {
                add(EntryKind::Link, rel, st, readLink(dirFd, name, rel));
            }
            // FIFOs, sockets and devices are skipped and never opened.
        }
    }

    bool matchesRecursive(const std::string& name) const {
        return std::any_of(command_.recursive.begin(), command_.recursive.end(), [&](const std::string& w) {
            return command_.literalNames ? w == name : wildcardMatch(w, name);
        });
    }

    // The folder's names, sorted, without "." and "..", the archive and its temporary files, and
    // temporary files that killed runs left anywhere.
    std::vector<std::string> listNames(int dirFd, const std::string& prefix) {
        const int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throw Failure(SEVENZIP_E_READ, systemMessage(prefix.empty() ? "." : prefix, errno));
        DIR* dir = fdopendir(fd);
        if (dir == nullptr) {
            const int err = errno;
            close(fd);
            throw Failure(SEVENZIP_E_READ, systemMessage(prefix.empty() ? "." : prefix, err));
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* item = readdir(dir)) {
            const std::string name = item->d_name;
            if (name != "." && name != ".." && !isExcluded(dirFd, name) && !isTemporaryName(name))
                names.push_back(name);
            errno = 0;
        }
        const int err = errno;
        closedir(dir);
        if (err != 0) throw Failure(SEVENZIP_E_READ, systemMessage(prefix.empty() ? "." : prefix, err));
        std::sort(names.begin(), names.end());
        return names;
    }

    bool isExcluded(int dirFd, const std::string& name) const {
        if (name != archiveName_ && name.compare(0, tempPrefix_.size(), tempPrefix_) != 0) return false;
        struct stat st {};
        return fstat(dirFd, &st) == 0 && Identity{st.st_dev, st.st_ino} == archiveFolder_;
    }

    static std::string readLink(int dirFd, const std::string& name, const std::string& rel) {
        std::string target(4096, '\0');
        const ssize_t length = readlinkat(dirFd, name.c_str(), target.data(), target.size());
        if (length < 0) throw Failure(SEVENZIP_E_READ, systemMessage(rel, errno));
        target.resize(static_cast<size_t>(length));
        return target;
    }

    void add(EntryKind kind, const std::string& rel, const struct stat& st, std::string linkTarget) {
        const Identity id{st.st_dev, st.st_ino};
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
        entry.mode = st.st_mode;
        entry.size = kind == EntryKind::File ? static_cast<uint64_t>(st.st_size) : 0;
        entry.mtimeSec = st.st_mtim.tv_sec;
        entry.mtimeNsec = st.st_mtim.tv_nsec;
        entry.device = st.st_dev;
        entry.inode = st.st_ino;
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

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return path;
    std::string cwd(4096, '\0');
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) throw Failure(SEVENZIP_E_READ, systemMessage("current folder", errno));
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(cwd.find('\0'));
    if (path.empty() || path == ".") return cwd;
    return cwd == "/" ? "/" + path : cwd + "/" + path;
}

std::vector<SelectedEntry> selectEntries(const Command& command, const Exclusion& exclusion) {
    return Selector(command, exclusion).run();
}

}  // namespace sevenzip
