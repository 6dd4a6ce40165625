// source_reader.cpp - safe opening and exact reading of listed source files.
#include "source_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

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
    return st.st_mtim.tv_sec == file.identity.mtimeSec && st.st_mtim.tv_nsec == file.identity.mtimeNsec;
}

}  // namespace

ReadStatus openSource(const SourceFile& file, io::Fd& fd) {
    fd = io::Fd();
    io::Fd opened = io::openAt(AT_FDCWD, file.path,
                               O_RDONLY | O_NONBLOCK | O_NOCTTY | (file.throughLink ? 0 : O_NOFOLLOW));
    if (!opened.valid()) {
        int error = errno;
        if (error == ELOOP) return failure(ELOOP, file, "is a symbolic link");
        return systemFailure(error, file, "open");
    }
    struct stat st {};
    if (const int err = io::statAt(opened.get(), "", st, false); err != 0)
        return systemFailure(err, file, "stat");
    if (!S_ISREG(st.st_mode)) return failure(EINVAL, file, "is not a regular file");
    const io::FileIdentity now = io::identityOf(st);
    if (now.device != file.identity.device || now.inode != file.identity.inode)
        return failure(ESTALE, file, "was replaced by another file after it was listed");
    if (static_cast<uint64_t>(st.st_size) != file.identity.size)
        return failure(ESTALE, file, "changed size after it was listed");
    if (!sameTime(st, file)) return failure(ESTALE, file, "was modified after it was listed");
    fd = std::move(opened);
    return {};
}

ReadStatus readExactly(const SourceFile& file, int fd, uint64_t offset, size_t length, uint8_t* out) {
    size_t got = 0;
    if (const int err = io::readAt(fd, out, length, offset, got); err != 0)
        return systemFailure(err, file, "read");
    if (got < length)
        return failure(ESTALE, file, "ended before its listed size (it shrank while being read)");
    return {};
}

ReadStatus checkUnchanged(const SourceFile& file, int fd) {
    uint8_t extra = 0;
    size_t got = 0;
    if (const int err = io::readAt(fd, &extra, 1, file.identity.size, got); err != 0)
        return systemFailure(err, file, "read");
    if (got > 0) return failure(ESTALE, file, "grew while being read");
    struct stat st {};
    if (const int err = io::statAt(fd, "", st, false); err != 0) return systemFailure(err, file, "stat");
    if (static_cast<uint64_t>(st.st_size) != file.identity.size)
        return failure(ESTALE, file, "changed size while being read");
    if (!sameTime(st, file)) return failure(ESTALE, file, "was modified while being read");
    return {};
}

}  // namespace sevenzip::detail
