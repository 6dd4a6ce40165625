// source_reader.cpp - safe opening and exact reading of listed source files.
#include "source_reader.h"

#include <cerrno>
#include <cstring>

namespace sevenzip::detail {
namespace {

ReadStatus failure(int error, const SourceFile& file, const char* what) {
    return ReadStatus{error, "'" + file.path + "': " + what};
}

ReadStatus systemFailure(int error, const SourceFile& file, const char* action) {
    return ReadStatus{error,
                      "cannot " + std::string(action) + " '" + file.path + "': " + io::errorText(error)};
}

bool sameTime(const io::FileInfo& st, const SourceFile& file) {
    return st.mtimeSec == file.identity.mtimeSec && st.mtimeNsec == file.identity.mtimeNsec;
}

}  // namespace

ReadStatus openSource(const SourceFile& file, io::Fd& fd) {
    fd = io::Fd();
    io::Fd opened =
        io::openAt(io::kCurrentFolder, file.path, io::kSource | (file.throughLink ? 0u : io::kNoFollow));
    if (!opened.valid()) {
        int error = errno;
        if (error == ELOOP) return failure(ELOOP, file, "is a symbolic link");
        return systemFailure(error, file, "open");
    }
    io::FileInfo st;
    if (const int err = io::statAt(opened.get(), "", st, false); err != 0)
        return systemFailure(err, file, "stat");
    if (st.kind != io::Kind::File) return failure(EINVAL, file, "is not a regular file");
    const io::FileIdentity now = io::identityOf(st);
    if (now.device != file.identity.device || now.inode != file.identity.inode)
        return failure(io::kChangedError, file, "was replaced by another file after it was listed");
    if (st.size != file.identity.size)
        return failure(io::kChangedError, file, "changed size after it was listed");
    if (!sameTime(st, file)) return failure(io::kChangedError, file, "was modified after it was listed");
    fd = std::move(opened);
    return {};
}

ReadStatus readExactly(const SourceFile& file, io::Handle fd, uint64_t offset, size_t length, uint8_t* out) {
    size_t got = 0;
    if (const int err = io::readAt(fd, out, length, offset, got); err != 0)
        return systemFailure(err, file, "read");
    if (got < length)
        return failure(io::kChangedError, file, "ended before its listed size (it shrank while being read)");
    return {};
}

ReadStatus checkUnchanged(const SourceFile& file, io::Handle fd) {
    uint8_t extra = 0;
    size_t got = 0;
    if (const int err = io::readAt(fd, &extra, 1, file.identity.size, got); err != 0)
        return systemFailure(err, file, "read");
    if (got > 0) return failure(io::kChangedError, file, "grew while being read");
    io::FileInfo st;
    if (const int err = io::statAt(fd, "", st, false); err != 0) return systemFailure(err, file, "stat");
    if (st.size != file.identity.size)
        return failure(io::kChangedError, file, "changed size while being read");
    if (!sameTime(st, file)) return failure(io::kChangedError, file, "was modified while being read");
    return {};
}

}  // namespace sevenzip::detail
