// file_io_posix.cpp - the file layer on POSIX with the Linux additions it needs (renameat2, /proc).
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "file_io.h"

namespace sevenzip::io {
namespace {

// The descriptor behind a handle; kCurrentFolder is AT_FDCWD.
int fdOf(Handle handle) {
    return handle == kCurrentFolder ? AT_FDCWD : static_cast<int>(handle);
}

Kind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return Kind::File;
    if (S_ISDIR(mode)) return Kind::Folder;
    if (S_ISLNK(mode)) return Kind::Link;
    return Kind::Other;
}

}  // namespace

const int kChangedError = ESTALE;

Fd::~Fd() {
    if (valid()) ::close(fdOf(fd_));
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (valid()) ::close(fdOf(fd_));
        fd_ = other.release();
    }
    return *this;
}

Fd openAt(Handle dir, const std::string& name, unsigned flags) {
    int native = O_CLOEXEC;
    if (flags & kFolder) native |= O_RDONLY | O_DIRECTORY;
    if (flags & kSource) native |= O_RDONLY | O_NONBLOCK | O_NOCTTY;
    if (flags & kCreateNew) native |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
    if (flags & kNoFollow) native |= O_NOFOLLOW;
    int fd;
    do {
        fd = ::openat(fdOf(dir), name.c_str(), native, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? Fd() : Fd(fd);
}

int statAt(Handle dir, const std::string& name, FileInfo& info, bool follow) {
    const int flags = (follow ? 0 : AT_SYMLINK_NOFOLLOW) | (name.empty() ? AT_EMPTY_PATH : 0);
    struct stat st {};
    if (::fstatat(fdOf(dir), name.c_str(), &st, flags) != 0) return errno;
    info.kind = kindOf(st.st_mode);
    info.mode = st.st_mode;
    info.group = st.st_gid;
    info.device = static_cast<uint64_t>(st.st_dev);
    info.index = static_cast<uint64_t>(st.st_ino);
    info.size = static_cast<uint64_t>(st.st_size);
    info.mtimeSec = st.st_mtim.tv_sec;
    info.mtimeNsec = st.st_mtim.tv_nsec;
    return 0;
}

int readLinkAt(Handle dir, const std::string& name, std::string& target) {
    target.assign(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(fdOf(dir), name.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    target.resize(static_cast<size_t>(length));
    return 0;
}

int readAt(Handle fd, void* data, size_t size, uint64_t offset, size_t& got) {
    auto* bytes = static_cast<uint8_t*>(data);
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fdOf(fd), bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int writeAt(Handle fd, const void* data, size_t size, uint64_t offset) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fdOf(fd), bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int truncateTo(Handle fd, uint64_t size) {
    return ::ftruncate(fdOf(fd), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int flushData(Handle fd) {
    return ::fdatasync(fdOf(fd)) == 0 ? 0 : errno;
}

int setMode(Handle fd, uint32_t mode) {
    return ::fchmod(fdOf(fd), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int renameNoReplace(Handle dir, const std::string& from, const std::string& to) {
    const int dirFd = fdOf(dir);
    if (::renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    // A hard link fails just the same when the name is taken.
    if (::linkat(dirFd, from.c_str(), dirFd, to.c_str(), 0) != 0) return errno;
    ::unlinkat(dirFd, from.c_str(), 0);
    return 0;
}

int removeAt(Handle dir, const std::string& name) {
    return ::unlinkat(fdOf(dir), name.c_str(), 0) == 0 ? 0 : errno;
}

int listFolder(Handle folder, std::vector<std::string>& names) {
    Fd own = openAt(folder, ".", kFolder);
    if (!own.valid()) return errno;
    DIR* dir = ::fdopendir(fdOf(own.get()));
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

size_t nameMax(Handle dir) {
    const long limit = ::fpathconf(fdOf(dir), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

size_t nameLength(const std::string& name) {
    return name.size();
}

std::string namePrefix(const std::string& name, size_t units) {
    return name.substr(0, units);
}

uint32_t currentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &value) == 1;
        std::fclose(status);
        if (found) return value & 0777;
    }
    // Without /proc the mask can only be read by setting it; the brief change is set straight back.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<uint32_t>(mask);
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

bool hasPermissionBits() {
    return true;
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

bool isSeparator(char c) {
    return c == '/';
}

bool isAbsoluteName(const std::string& name) {
    return !name.empty() && name.front() == '/';
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

void splitPath(const std::string& absolute, std::string& folder, std::string& name) {
    const size_t slash = absolute.rfind('/');
    folder = slash == 0 || slash == std::string::npos ? "/" : absolute.substr(0, slash);
    name = slash == std::string::npos ? absolute : absolute.substr(slash + 1);
}

std::string errorText(int err) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    return strerror_r(err, buffer, sizeof buffer);
}

}  // namespace sevenzip::io
