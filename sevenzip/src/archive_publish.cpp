// archive_publish.cpp - temporary file creation, no-replace publication and clean-up.
#include "archive_publish.h"

#include <cerrno>
#include <random>

#include "failure.h"
#include "sevenzip32.h"

namespace sevenzip {
namespace {

constexpr std::string_view kTempMarker = ".pakuto-tmp\xE2\x8C\x9B";
// Tries before giving up on finding a free temporary name; each try draws a new random suffix.
constexpr int kTempTries = 100;

bool isRandomChar(char c) {
    // The suffix's alphabet is ASCII letters and digits, whatever the process's locale says.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

bool isTemporaryName(std::string_view name) {
    if (name.size() < 1 + kTempMarker.size() + kTempSuffixLength || name.front() != '.') return false;
    const size_t at = name.size() - kTempSuffixLength - kTempMarker.size();
    if (name.substr(at, kTempMarker.size()) != kTempMarker) return false;
    for (char c : name.substr(name.size() - kTempSuffixLength))
        if (!isRandomChar(c)) return false;
    return true;
}

ArchiveTarget::ArchiveTarget(const std::string& archivePath) {
    if (const int err = io::absolutePath(archivePath, absolutePath_); err != 0)
        throw Failure(SEVENZIP_E_WRITE, systemMessage("current folder", err));
    std::string folder;
    io::splitPath(absolutePath_, folder, name_);
    if (name_.empty() || name_ == "." || name_ == "..")
        throw Failure(SEVENZIP_E_SYNTAX, "the archive path \"" + archivePath + "\" names no file");
    folder_ = io::openAt(io::kCurrentFolder, folder, io::kFolder);
    if (!folder_.valid()) throw Failure(SEVENZIP_E_WRITE, systemMessage("archive folder " + folder, errno));
    const size_t nameMax = io::nameMax(folder_.get());
    if (io::nameLength(name_) > nameMax)
        throw Failure(SEVENZIP_E_WRITE, "the archive name " + name_.substr(0, 40) + "... is " +
                                            std::to_string(name_.size()) +
                                            " bytes long; the file system of " + folder + " takes at most " +
                                            std::to_string(nameMax));
    // Any entry of that name counts, whatever its kind: a link (dangling or not) is not followed.
    io::FileInfo st;
    const int err = io::statAt(folder_.get(), name_, st, false);
    if (err == 0) throw Failure(SEVENZIP_E_EXISTS, absolutePath_ + " already exists; it was left as it is");
    if (err != ENOENT) throw Failure(SEVENZIP_E_WRITE, systemMessage(absolutePath_, err));
    const size_t room = nameMax > 1 + kTempMarker.size() + kTempSuffixLength
                            ? nameMax - 1 - kTempMarker.size() - kTempSuffixLength
                            : 0;
    tempPrefix_.assign(1, '.');
    tempPrefix_.append(io::namePrefix(name_, room));
    tempPrefix_.append(kTempMarker);
}

TempArchive::TempArchive(const ArchiveTarget& target) : target_(target) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    int err = 0;
    for (int attempt = 0; attempt < kTempTries; ++attempt) {
        std::string name = target.tempPrefix();
        for (size_t i = 0; i < kTempSuffixLength; ++i) name.push_back(kAlphabet[pick(device)]);
        fd_ = io::openAt(target.folderFd(), name, io::kCreateNew);
        if (fd_.valid()) {
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
    if (!published_ && !tempName_.empty()) io::removeAt(target_.folderFd(), tempName_);
}

void TempArchive::publish(uint32_t mode) {
    if (const int err = io::setMode(fd_.get(), mode); err != 0)
        throw Failure(SEVENZIP_E_WRITE, systemMessage("setting the archive's permissions", err));
    if (const int err = io::flushData(fd_.get()); err != 0)
        throw Failure(SEVENZIP_E_WRITE, systemMessage("flushing the archive", err));
    if (const int err = io::renameNoReplace(target_.folderFd(), tempName_, target_.name()); err != 0) {
        if (err == EEXIST)
            throw Failure(
                SEVENZIP_E_EXISTS,
                target_.absolutePath() + " appeared while the archive was made; it was left as it is");
        throw Failure(SEVENZIP_E_WRITE, systemMessage("naming the archive " + target_.absolutePath(), err));
    }
    published_ = true;
}

}  // namespace sevenzip
