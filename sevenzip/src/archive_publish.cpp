// archive_publish.cpp - temporary file creation, durable no-replace publication and clean-up.
#include "archive_publish.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>

#include "failure.h"
#include "file_selection.h"
#include "sevenzip32.h"

namespace sevenzip {
namespace {

constexpr const char* kTempMarker = ".pakuto-tmp-";
constexpr size_t kRandomChars = 6;
// Tries before giving up on finding a free temporary name; each try draws a new random suffix.
constexpr int kTempTries = 100;

}  // namespace

bool isTemporaryName(std::string_view name) {
    const std::string_view marker(kTempMarker);
    if (name.size() < 1 + marker.size() + kRandomChars || name.front() != '.') return false;
    const size_t at = name.size() - kRandomChars - marker.size();
    if (name.substr(at, marker.size()) != marker) return false;
    // The suffix's alphabet is ASCII letters and digits, whatever the process's locale says.
    for (char c : name.substr(name.size() - kRandomChars)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

ArchiveTarget::ArchiveTarget(const std::string& archivePath) {
    absolutePath_ = sevenzip::absolutePath(archivePath);
    const size_t slash = absolutePath_.rfind('/');
    const std::string folder = slash == 0 ? "/" : absolutePath_.substr(0, slash);
    name_ = absolutePath_.substr(slash + 1);
    if (name_.empty() || name_ == "." || name_ == "..")
        throw Failure(SEVENZIP_E_SYNTAX, "the archive path \"" + archivePath + "\" names no file");
    folderFd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) throw Failure(SEVENZIP_E_WRITE, systemMessage("archive folder " + folder, errno));
    struct stat st {};
    if (fstatat(folderFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        close(folderFd_);
        folderFd_ = -1;
        throw Failure(SEVENZIP_E_EXISTS, absolutePath_ + " already exists; it was left as it is");
    }
    const size_t room = NAME_MAX - 1 - std::char_traits<char>::length(kTempMarker) - kRandomChars;
    tempPrefix_.assign(1, '.');
    tempPrefix_.append(name_, 0, room);
    tempPrefix_.append(kTempMarker);
}

ArchiveTarget::~ArchiveTarget() {
    if (folderFd_ >= 0) close(folderFd_);
}

TempArchive::TempArchive(const ArchiveTarget& target) : target_(target) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    int err = 0;
    for (int attempt = 0; attempt < kTempTries; ++attempt) {
        std::string name = target.tempPrefix();
        for (size_t i = 0; i < kRandomChars; ++i) name.push_back(kAlphabet[pick(device)]);
        fd_ =
            openat(target.folderFd(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ >= 0) {
            tempName_ = std::move(name);
            return;
        }
        err = errno;
        if (err != EEXIST) break;
    }
    throw Failure(SEVENZIP_E_WRITE,
                  systemMessage("cannot create a temporary file beside " + target.absolutePath(), err));
}

TempArchive::~TempArchive() {
    if (fd_ >= 0) close(fd_);
    if (!published_ && !tempName_.empty()) unlinkat(target_.folderFd(), tempName_.c_str(), 0);
}

void TempArchive::publish() {
    const int folder = target_.folderFd();
    // fdatasync carries the size with the data, all a reader needs; the time stamps may wait.
    if (fdatasync(fd_) != 0) throw Failure(SEVENZIP_E_WRITE, systemMessage("flushing the archive", errno));

    int result = renameat2(folder, tempName_.c_str(), folder, target_.name().c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        // No RENAME_NOREPLACE here: a hard link fails just the same when the name is taken.
        result = linkat(folder, tempName_.c_str(), folder, target_.name().c_str(), 0);
        if (result == 0) unlinkat(folder, tempName_.c_str(), 0);
    }
    if (result != 0) {
        const int err = errno;
        if (err == EEXIST)
            throw Failure(
                SEVENZIP_E_EXISTS,
                target_.absolutePath() + " appeared while the archive was made; it was left as it is");
        throw Failure(SEVENZIP_E_WRITE, systemMessage("naming the archive " + target_.absolutePath(), err));
    }
    published_ = true;

    // Some file systems cannot flush a folder (EINVAL); there the rename is as durable as it gets.
    if (fsync(folder) != 0 && errno != EINVAL) {
        const int err = errno;
        unlinkat(folder, target_.name().c_str(), 0);
        throw Failure(SEVENZIP_E_WRITE,
                      systemMessage("flushing the folder of " + target_.absolutePath(), err));
    }
}

}  // namespace sevenzip
