// file_io.h - the archiver library's one file layer: every call it makes on files and folders goes
// through these functions, so that a port to another platform replaces this pair of files only.
//
// Functions report failure as an errno value (0 is success) and leave messages to their callers, who
// know what the file is for. Reads and writes loop until every byte is moved (EINTR and short transfers
// are retried); a read that meets the end of the file reports how much it got.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sevenzip::io {

// Owns one open descriptor and closes it when destroyed. Move-only.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// What identifies one file's content as listed: a reader checks it again when it opens the file and
// when it has read it, so an archive never holds a file other than the one listed, or one that changed.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity identityOf(const struct stat& st);

// openat(2) with O_CLOEXEC added; flags as for openat (O_NOFOLLOW, O_DIRECTORY, O_CREAT | O_EXCL ...).
// On failure the Fd is not valid and errno holds the reason.
Fd openAt(int dirFd, const std::string& name, int flags, mode_t mode = 0);

// fstatat(2): follow = false looks at a link itself (AT_SYMLINK_NOFOLLOW). name "" stats dirFd.
int statAt(int dirFd, const std::string& name, struct stat& st, bool follow);

// The target text of the link dirFd/name.
int readLinkAt(int dirFd, const std::string& name, std::string& target);

// Reads up to size bytes at offset, stopping early only at the end of the file; got is what was read.
int readAt(int fd, void* data, size_t size, uint64_t offset, size_t& got);
// Writes all size bytes at offset (a write that moves nothing is EIO).
int writeAt(int fd, const void* data, size_t size, uint64_t offset);
int truncateTo(int fd, uint64_t size);

// Flushes a file's data and size to the device (fdatasync: the times may follow later).
int flushData(int fd);
// Sets a file's permission bits exactly (the umask does not apply).
int setMode(int fd, mode_t mode);

// Gives dirFd/from the name dirFd/to, never replacing anything that has that name (EEXIST then). Uses
// renameat2(RENAME_NOREPLACE), or link() then unlink() where the file system lacks it.
int renameNoReplace(int dirFd, const std::string& from, const std::string& to);
int removeAt(int dirFd, const std::string& name);

// The names in the folder dirFd, without "." and "..", in the order the file system gives them.
int listFolder(int dirFd, std::vector<std::string>& names);

// The longest name the file system of dirFd takes (fpathconf _PC_NAME_MAX).
size_t nameMax(int dirFd);

// The process's file-creation mask, read without changing it (umask(2) would, for every thread).
mode_t currentUmask();

// The absolute form of a path: a relative one is joined to the current folder; nothing is resolved.
int absolutePath(const std::string& path, std::string& absolute);

// The canonical form of an existing path: absolute, every link resolved, no "." or ".." (realpath(3)).
int realPath(const std::string& path, std::string& resolved);

// Whether the file at an absolute path has access rules beyond its permission bits (on Linux a POSIX
// ACL with more than the owner, group and other entries); follow = false looks at a link itself. A file
// system without such rules gives false.
int hasExtendedAccessRules(const std::string& path, bool follow, bool& extended);

}  // namespace sevenzip::io
