// source_reader.cpp - safe opening and exact reading of listed source files.
#include "source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sevenzip::detail {
namespace {

ReadStatus failure(int error, const SourceFile& file, const char* what) {
    return ReadStatus{error, "'" + file.path + "': " + what};
}

ReadStatus systemFailure(int error, const SourceFile& file, const char* action) {
    return ReadStatus{error,
                      "cannot " + std::string(action) + " '" + file.path + "': " + std::strerror(error)};
}

bool sameTime(const struct stat& st, const SourceFile& file) {
    return st.st_mtim.tv_sec == file.mtimeSec && st.st_mtim.tv_nsec == file.mtimeNsec;
}

}  // namespace

SourceFd::~SourceFd() {
    if (fd_ >= 0) ::close(fd_);
}

SourceFd& SourceFd::operator=(SourceFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

ReadStatus openSource(const SourceFile& file, SourceFd& fd) {
    fd = SourceFd();
    int raw;
    do {
        raw = ::open(file.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (raw < 0 && errno == EINTR);
    if (raw < 0) {
        int error = errno;
        if (error == ELOOP) return failure(ELOOP, file, "is a symbolic link");
        return systemFailure(error, file, "open");
    }
    SourceFd opened(raw);
    struct stat st {};
    if (::fstat(opened.get(), &st) != 0) return systemFailure(errno, file, "stat");
    if (!S_ISREG(st.st_mode)) return failure(EINVAL, file, "is not a regular file");
    if (static_cast<uint64_t>(st.st_dev) != file.device || static_cast<uint64_t>(st.st_ino) != file.inode)
        return failure(ESTALE, file, "was replaced by another file after it was listed");
    if (static_cast<uint64_t>(st.st_size) != file.size)
        return failure(ESTALE, file, "changed size after it was listed");
    if (!sameTime(st, file)) return failure(ESTALE, file, "was modified after it was listed");
    fd = std::move(opened);
    return {};
}

ReadStatus readExactly(const SourceFile& file, int fd, uint64_t offset, size_t length, uint8_t* out) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return systemFailure(errno, file, "read");
        }
        if (n == 0) return failure(ESTALE, file, "ended before its listed size (it shrank while being read)");
        done += static_cast<size_t>(n);
    }
    return {};
}

ReadStatus checkUnchanged(const SourceFile& file, int fd) {
    uint8_t extra = 0;
    ssize_t n;
    do {
        n = ::pread(fd, &extra, 1, static_cast<off_t>(file.size));
    } while (n < 0 && errno == EINTR);
    if (n < 0) return systemFailure(errno, file, "read");
    if (n > 0) return failure(ESTALE, file, "grew while being read");
    struct stat st {};
    if (::fstat(fd, &st) != 0) return systemFailure(errno, file, "stat");
    if (static_cast<uint64_t>(st.st_size) != file.size)
        return failure(ESTALE, file, "changed size while being read");
    if (!sameTime(st, file)) return failure(ESTALE, file, "was modified while being read");
    return {};
}

}  // namespace sevenzip::detail
