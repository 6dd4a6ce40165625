// CompressionJobs.cpp - the three compression jobs: one file, one whole folder, each file of a tree.
#include "CompressionJobs.h"

#include <functional>
#include <optional>
#include <vector>

#include "ArchiveIndex.h"
#include "ArchiverCommand.h"
#include "CompactPath.h"
#include "FileSystem.h"
#include "PathText.h"
#include "SourceSnapshot.h"
#include "mSevenZip32APIs.h"

namespace mMain {

namespace {

const std::string kOk = "[OK]";
const std::string kNg = "[NG]";

// The delete box's checked value; grayed (2) does not delete.
constexpr int kDeleteChecked = 1;

// How often a job chooses a name at most. Each lost race means another process took a name, so any
// number of processes racing for names ends well below this; it only bounds a pathological case (a
// process taking name after name forever).
constexpr int kNameAttempts = 4096;

// An extension is appended to a name; one that would put the archive into another folder (a '/' or
// the platform's separator), or that the library's C text could not carry, is not usable.
bool UsableExtension(const std::string& ext) {
    const char unusable[] = {'/', PathSeparator(), '\0'};
    return ext.find_first_of(unusable, 0, sizeof unusable) == std::string::npos;
}

// Enables the window again however the archiver call ends.
class DisabledWindow {
public:
    explicit DisabledWindow(JobWindow& window) : window_(window) { window_.SetWindowEnabled(false); }
    ~DisabledWindow() { window_.SetWindowEnabled(true); }
    DisabledWindow(const DisabledWindow&) = delete;
    DisabledWindow& operator=(const DisabledWindow&) = delete;

private:
    JobWindow& window_;
};

// What the archive holds, when the delete box asks for deletion and the archive reads back whole;
// its folder is flushed first. nullopt means nothing is deleted.
std::optional<ArchiveIndex> IndexBeforeDeleting(const JobWindow& window, const std::string& archive) {
    if (window.DeleteState() != kDeleteChecked) return std::nullopt;
    std::optional<ArchiveIndex> index = ReadArchiveIndex(archive);
    // The library flushes an archive's data before publishing its name but not the folder holding the
    // name; before a source goes, the name must be on disk too.
    if (!index || !FlushFolderNames(GetParentFolderName(archive))) return std::nullopt;
    return index;
}

// Runs the command `compose` gives for the first free archive path of `stem` + `ext`. While the
// library finds the name taken after all and it is taken now (another process took it since it was
// chosen: a lost race), the next free one is tried. The archive's path on success; nullopt when the
// archiver fails otherwise or no command can be composed.
std::optional<std::string> ArchiveUnderFreeName(
    JobWindow& window, const std::string& stem, const std::string& ext,
    const std::function<std::optional<std::string>(const std::string&)>& compose) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string archive = FreeArchivePath(stem, ext);
        const std::optional<std::string> command = compose(archive);
        if (!command) return std::nullopt;
        const int result = RunArchiver(window, *command);
        if (result == 0) return archive;
        if (result != SEVENZIP_E_EXISTS || !NameTaken(archive)) return std::nullopt;
    }
    return std::nullopt;
}

// A regular file, or a link to one: what the file job archives with its content.
bool IsFileLike(const SourceEntry& entry) {
    return entry.type == EntryType::File || entry.type == EntryType::FileLink;
}

// What the per-file walk passes over: entries the platform marks hidden or system.
bool Skipped(const SourceEntry& entry) {
    return entry.hidden || entry.system;
}

// CompressFile, deleting the source only when `mayDelete` also allows it.
void CompressOneFile(JobWindow& window, const std::string& commandPrefix, const std::string& file,
                     const std::string& destFolder, bool mayDelete) {
    const std::string source = WithTrailingSeparator(GetParentFolderName(file));
    const std::string name = GetFileName(file);
    const std::string ext = window.ExtensionText();

    const SourceSnapshot snapshot = SnapshotFile(file, name);
    // Jobs work on full paths only: a relative one would be read against whatever folder the process
    // is in, and its parent text would not name the folder it is in. A system file is never archived.
    const bool fileLike =
        !snapshot.entries.empty() && IsFileLike(snapshot.entries.front()) && !snapshot.entries.front().system;
    if (!fileLike || name.empty() || !IsAbsolute(file) || !IsAbsolute(destFolder) || !UsableExtension(ext)) {
        AddResultLine(window, kNg, source, name);
        return;
    }
    const std::optional<std::string> archive = ArchiveUnderFreeName(
        window, WithTrailingSeparator(destFolder) + GetBaseName(file), ext,
        [&](const std::string& path) { return FileCommand(commandPrefix, path, source, name); });
    if (!archive) {
        AddResultLine(window, kNg, source, name);
        return;
    }
    if (mayDelete) {
        if (std::optional<ArchiveIndex> index = IndexBeforeDeleting(window, *archive))
            DeleteArchivedSources(snapshot, *index);
    }
    AddResultLine(window, kOk, *archive);
}

}  // namespace

int RunArchiver(JobWindow& window, const std::string& command) {
    std::vector<char> output(kArchiverOutputSize, '\0');
    DisabledWindow disabled(window);
    return mSevenZip32APIs::SevenZip(window.NativeHandle(), command.c_str(), output.data(),
                                     kArchiverOutputSize);
}

void AddResultLine(JobWindow& window, const std::string& tag, const std::string& path,
                   const std::string& suffix) {
    const int width = ResultLineWidth(window.ResultListWidthTwips());
    window.InsertResultLine(tag + CompactPath(path, window, width) + suffix);
}

void CompressFile(JobWindow& window, const std::string& commandPrefix, const std::string& file,
                  const std::string& destFolder) {
    CompressOneFile(window, commandPrefix, file, destFolder, true);
}

void CompressFolder(JobWindow& window, const std::string& commandPrefix, const std::string& folder) {
    const std::string base = WithTrailingSeparator(folder);
    const std::string name = GetFileName(folder);
    const std::string ext = window.ExtensionText();
    if (name.empty() || name == "." || name == ".." || !IsAbsolute(folder) || IsFileSystemRoot(folder) ||
        !UsableExtension(ext)) {
        AddResultLine(window, kNg, base);
        return;
    }
    // The separator is added without looking, as the archive's name has always been formed: a folder
    // directly under a root gives a doubled separator, which the file system reads as one.
    const std::string item = GetParentFolderName(folder) + PathSeparator() + name;
    // The delete box cannot change while a job runs (no window events are processed and the window is
    // disabled during the call), so the tree is walked beforehand only when deletion is asked for;
    // whether to delete is still decided after the call.
    const bool deleteAsked = window.DeleteState() == kDeleteChecked;
    const SourceSnapshot snapshot = deleteAsked ? SnapshotTree(folder) : SourceSnapshot{};
    const std::optional<SourceEntry> link = IsLink(folder) ? Examine(item, name) : std::nullopt;
    const std::optional<std::string> archive = ArchiveUnderFreeName(
        window, item, ext, [&](const std::string& path) { return FolderCommand(commandPrefix, path, base); });
    if (!archive) {
        AddResultLine(window, kNg, base);
        return;
    }
    if (std::optional<ArchiveIndex> index = IndexBeforeDeleting(window, *archive)) {
        if (!link) {
            DeleteArchivedSources(snapshot, *index);
        } else if (deleteAsked && HoldsEveryFile(snapshot, *index)) {
            RemoveIfUnchanged(*link);
        }
    }
    AddResultLine(window, kOk, *archive);
}

void CompressEachFile(JobWindow& window, const std::string& commandPrefix, const std::string& folder,
                      const std::string& destFolder) {
    if (!IsAbsolute(folder) || IsFileSystemRoot(folder)) {
        AddResultLine(window, kNg, WithTrailingSeparator(folder));
        return;
    }
    // Files reached through a dropped link belong to the folder it leads to: they are never deleted.
    const bool mayDelete = !IsLink(folder);
    WalkTree(
        folder, [](const SourceEntry& entry) { return !Skipped(entry); }, [](const FolderListing&) {},
        [&](const FolderListing& listing) {
            if (!listing.listed) {
                AddResultLine(window, kNg, listing.path);
                return;
            }
            for (const SourceEntry& entry : listing.entries) {
                if (IsFileLike(entry) && !Skipped(entry))
                    CompressOneFile(window, commandPrefix, entry.path, destFolder, mayDelete);
            }
        });
}

}  // namespace mMain
