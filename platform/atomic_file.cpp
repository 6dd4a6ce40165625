// atomic_file.cpp - whole-file reads with a size limit and crash-safe replacement through a temporary
// file and rename.
#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "parent_folder.h"

namespace {

// Owns a file descriptor; closes it unless it was closed explicitly (where the result matters).
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Removes the temporary file on every path that does not end in the rename.
class TempPath {
public:
    explicit TempPath(std::string path) : path_(std::move(path)) {}
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;
    ~TempPath() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The file the content really goes to: the path itself, or the end of its chain of symbolic links.
bool ResolveTarget(const std::string& path, std::string& target) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        target = path;
        return true;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;  // a link to nothing: do not replace the link by a file
    target = resolved;
    std::free(resolved);
    return true;
}

bool InGroup(gid_t group) {
    if (group == ::getegid()) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

// Whether the file's mode lets this process write it: the owner's write bit when the file is ours, the
// group's when we are in its group, the others' otherwise. The privileged user is held to the same
// bits (access() would say yes to it for every file), so a file made read-only stays as it is.
bool ModeAllowsWriting(const struct stat& st) {
    if (st.st_uid == ::geteuid()) return (st.st_mode & S_IWUSR) != 0;
    if (InGroup(st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

// Creates a new, empty temporary file beside `target`, named so that it is hidden and recognisably ours.
int CreateTemp(const std::string& target, mode_t mode, std::string& temp_path) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // Unpredictability is not needed, only distinct names; O_EXCL settles any clash.
    static unsigned long long counter = 0;
    std::mt19937_64 random(
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<unsigned long long>(::getpid()) << 40) ^ ++counter);
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[17];
        const unsigned long long r = random();
        for (int i = 0; i < 16; ++i) suffix[i] = "0123456789abcdef"[(r >> (4 * i)) & 0xF];
        suffix[16] = '\0';
        temp_path = folder + "." + name + "." + suffix + ".tmp";
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    temp_path.clear();
    return -1;
}

}  // namespace

FileReadStatus ReadWholeFile(const std::string& path, size_t max_bytes, std::string& out) {
    out.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return FileReadStatus::Unreadable;
    if (static_cast<unsigned long long>(st.st_size) > max_bytes) return FileReadStatus::Unreadable;
    // Read to the end rather than trusting st_size: the file may have grown since fstat.
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileReadStatus::Unreadable;
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > max_bytes) {
            out.clear();
            return FileReadStatus::Unreadable;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    return FileReadStatus::Ok;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content) {
    if (path.empty()) return false;
    std::string target;
    if (!ResolveTarget(path, target)) return false;

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || !ModeAllowsWriting(old) || ::access(target.c_str(), W_OK) != 0))
        return false;

    std::string temp_name;
    Fd fd(CreateTemp(target, 0666, temp_name));
    if (fd.get() < 0) return false;
    TempPath temp(temp_name);

    if (exists) {
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return false;
        // Keeping the owner is only possible for a privileged process; a failure there is harmless
        // because the file then belongs to the user who writes it.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
                (void)::fchmod(fd.get(), old.st_mode & 0777);
            }
        }
    }
    if (!WriteAll(fd.get(), content)) return false;
    if (::fsync(fd.get()) != 0) return false;
    if (!fd.Close()) return false;
    if (::rename(temp.path().c_str(), target.c_str()) != 0) return false;
    temp.Release();

    // Make the rename itself durable; the new content is in place whether or not this succeeds.
    (void)FlushFolder(ParentFolder(target));
    return true;
}

bool FlushFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}
