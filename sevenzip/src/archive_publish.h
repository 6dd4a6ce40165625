// archive_publish.h - the archive's temporary file and its publication under the final name.
//
// The archive is written to a hidden temporary file in the archive's own folder, created with mode 0600
// so that nobody else can open it while it fills; sevenzip32.h gives the shape of its name. The readable
// part says whose file it is and what it is for; the hourglass, drawn by file managers as a pending mark, is
// a character no person types into a file name, so a name of this shape is certainly this library's own
// leftover and not a user's ".notes.pakuto-tmp-abc123". It is valid UTF-8 in the Basic Multilingual
// Plane, which every Linux file system (also VFAT, exFAT and NTFS with their UTF-16 names) can hold.
//
// Publishing gives the file its final mode, flushes its data and size to disk, and gives it the
// archive's name without ever replacing anything there. A crash therefore leaves either no archive or a
// whole one. The folder is not flushed: a caller about to delete sources flushes it first. Until
// published, destroying the object removes the temporary file, so every failure path, including an
// exception, leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "file_io.h"

namespace sevenzip {

// True when `name` has the shape of this library's temporary archive files (see above). Only a
// regular file of this shape is taken for a leftover of a killed run: walks leave it out.
bool isTemporaryName(std::string_view name);
// The length of the random suffix that follows ArchiveTarget::tempPrefix() in a temporary file's name.
inline constexpr size_t kTempSuffixLength = 6;

// Where an archive goes: its folder (opened) and its name in that folder.
class ArchiveTarget {
public:
    // archivePath as given in the command. Throws Failure(SEVENZIP_E_EXISTS) when anything (a file,
    // folder, link, dangling link or special file) already has the archive's name,
    // Failure(SEVENZIP_E_WRITE) when the folder cannot be opened or the name is longer than its file
    // system takes. All of this is checked before any work is done.
    explicit ArchiveTarget(const std::string& archivePath);

    io::Handle folderFd() const { return folder_.get(); }
    const std::string& name() const { return name_; }
    const std::string& absolutePath() const { return absolutePath_; }
    // The start of every temporary file name of this archive (see above).
    const std::string& tempPrefix() const { return tempPrefix_; }

private:
    io::Fd folder_;
    std::string name_;
    std::string absolutePath_;
    std::string tempPrefix_;
};

class TempArchive {
public:
    // Creates the temporary file, mode 0600. Throws Failure(SEVENZIP_E_WRITE) when it cannot.
    explicit TempArchive(const ArchiveTarget& target);
    ~TempArchive();  // removes the temporary file unless published
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    io::Handle fd() const { return fd_.get(); }
    const std::string& name() const { return tempName_; }

    // Sets the archive's mode, flushes its data and names it as the archive. Throws
    // Failure(SEVENZIP_E_EXISTS) when the name was taken meanwhile (that entry is left as it was),
    // Failure(SEVENZIP_E_WRITE) for any other failure; either way the temporary file is gone.
    void publish(uint32_t mode);

private:
    const ArchiveTarget& target_;
    io::Fd fd_;
    std::string tempName_;
    bool published_ = false;
};

}  // namespace sevenzip
