// archive_publish.h - the archive's temporary file and its publication under the final name.
//
// The archive is written to a hidden temporary file in the archive's own folder, named
// ".<name>.pakuto-tmp-XXXXXX" so it is recognisable as ours. Publishing flushes the file to disk, gives it
// the archive's name without ever replacing anything there (renameat2 with RENAME_NOREPLACE, or link()
// and unlink() where the file system lacks it), then flushes the folder so the new name is durable too.
// Until published, destroying the object removes the temporary file, so every failure path, including
// an exception, leaves nothing behind.
#pragma once

#include <string>
#include <string_view>

namespace sevenzip {

// True when `name` has the form of this library's temporary archive files (".<name>.pakuto-tmp-" and
// six letters or digits). Such a file outlives its run only when the process was killed; walks leave
// it out, so a later archive of its folder neither stores it nor lets the caller delete it as stored.
bool isTemporaryName(std::string_view name);

// Where an archive goes: its folder (opened) and its name in that folder.
class ArchiveTarget {
public:
    // archivePath as given in the command. Throws Failure(SEVENZIP_E_WRITE) when the folder cannot be
    // opened, Failure(SEVENZIP_E_EXISTS) when anything already has the archive's name.
    explicit ArchiveTarget(const std::string& archivePath);
    ~ArchiveTarget();
    ArchiveTarget(const ArchiveTarget&) = delete;
    ArchiveTarget& operator=(const ArchiveTarget&) = delete;

    int folderFd() const { return folderFd_; }
    const std::string& name() const { return name_; }
    const std::string& absolutePath() const { return absolutePath_; }
    // The start of every temporary file name of this archive (".<name>.pakuto-tmp-", the name cut
    // short when the whole would pass the platform's name limit).
    const std::string& tempPrefix() const { return tempPrefix_; }

private:
    int folderFd_ = -1;
    std::string name_;
    std::string absolutePath_;
    std::string tempPrefix_;
};

class TempArchive {
public:
    // Creates the temporary file (mode 0666 less the umask, as any new file). Throws
    // Failure(SEVENZIP_E_WRITE) when it cannot.
    explicit TempArchive(const ArchiveTarget& target);
    ~TempArchive();  // removes the temporary file unless published
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return tempName_; }

    // Flushes the file, names it as the archive, flushes the folder. Throws Failure(SEVENZIP_E_EXISTS)
    // when the name was taken meanwhile (that file is left as it was), Failure(SEVENZIP_E_WRITE) for any
    // other failure; either way the temporary file is gone.
    void publish();

private:
    const ArchiveTarget& target_;
    int fd_ = -1;
    std::string tempName_;
    bool published_ = false;
};

}  // namespace sevenzip
