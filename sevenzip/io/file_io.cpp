// file_io.cpp - the file layer on POSIX with the Linux additions it needs (renameat2, /proc).
#include "file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace sevenzip::io {

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

FileIdentity identityOf(const struct stat& st) {
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

Fd openAt(int dirFd, const std::string& name, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::openat(dirFd, name.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

int statAt(int dirFd, const std::string& name, struct stat& st, bool follow) {
    const int flags = (follow ? 0 : AT_SYMLINK_NOFOLLOW) | (name.empty() ? AT_EMPTY_PATH : 0);
    return ::fstatat(dirFd, name.c_str(), &st, flags) == 0 ? 0 : errno;
}

int readLinkAt(int dirFd, const std::string& name, std::string& target) {
    target.assign(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(dirFd, name.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    target.resize(static_cast<size_t>(length));
    return 0;
}

int readAt(int fd, void* data, size_t size, uint64_t offset, size_t& got) {
    auto* bytes = static_cast<uint8_t*>(data);
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int writeAt(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int truncateTo(int fd, uint64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int flushData(int fd) {
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

int setMode(int fd, mode_t mode) {
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

int renameNoReplace(int dirFd, const std::string& from, const std::string& to) {
    if (::renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // A hard link fails just the same when the name is taken.
    if (::linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) != 0) return errno;
    ::unlinkat(dirFd, from.c_str(), 0);
    return 0;
}

int removeAt(int dirFd, const std::string& name) {
    return ::unlinkat(dirFd, name.c_str(), 0) == 0 ? 0 : errno;
}

int listFolder(int dirFd, std::vector<std::string>& names) {
    Fd own = openAt(dirFd, ".", O_RDONLY | O_DIRECTORY);
    if (!own.valid()) return errno;
    DIR* dir = ::fdopendir(own.get());
    if (dir == nullptr) return errno;
    own.release();
    names.clear();
    errno = 0;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") names.push_back(name);
        errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    return err;
}

size_t nameMax(int dirFd) {
    const long limit = ::fpathconf(dirFd, _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

mode_t currentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(value & 0777);
    }
    // Without /proc the mask can only be read by setting it; the brief change is set straight back.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

int absolutePath(const std::string& path, std::string& absolute) {
    if (!path.empty() && path.front() == '/') {
        absolute = path;
        return 0;
    }
    std::string cwd(PATH_MAX, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return errno;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(cwd.find('\0'));
    if (path.empty() || path == ".")
        absolute = cwd;
    else
        absolute = cwd == "/" ? "/" + path : cwd + "/" + path;
    return 0;
}

int realPath(const std::string& path, std::string& resolved) {
    char* canonical = ::realpath(path.c_str(), nullptr);
    if (canonical == nullptr) return errno;
    resolved = canonical;
    ::free(canonical);
    return 0;
}

int hasExtendedAccessRules(const std::string& path, bool follow, bool& extended) {
    // The attribute holds a 4-byte version and one 8-byte record per ACL entry; a minimal ACL (owner,
    // group, other) only mirrors the permission bits.
    constexpr ssize_t kMinimalAcl = 4 + 3 * 8;
    const char* const name = "system.posix_acl_access";
    const ssize_t size =
        follow ? ::getxattr(path.c_str(), name, nullptr, 0) : ::lgetxattr(path.c_str(), name, nullptr, 0);
    extended = size > kMinimalAcl;
    if (size >= 0 || errno == ENODATA || errno == ENOTSUP) return 0;
    return errno;
}

}  // namespace sevenzip::io
