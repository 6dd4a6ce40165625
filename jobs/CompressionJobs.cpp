// CompressionJobs.cpp - the three compression jobs: one file, one whole folder, each file of a tree.
#include "CompressionJobs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "ArchiveIndex.h"
#include "ArchiverCommand.h"
#include "CompactPath.h"
#include "PathText.h"
#include "SourceSnapshot.h"
#include "mSevenZip32APIs.h"

namespace mMain {

namespace {

const std::string kOk = "[OK]";
const std::string kNg = "[NG]";

// The delete box's checked value; grayed (2) does not delete.
constexpr int kDeleteChecked = 1;

// An extension is appended to a name; one that would put the archive into another folder, or that
// the library's C text could not carry, is not usable.
bool UsableExtension(const std::string& ext) {
    return ext.find_first_of(std::string("/\0", 2)) == std::string::npos;
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

// After a successful call: deletes what the archive holds of the snapshot when the box is checked.
void DeleteSourcesIfAsked(const JobWindow& window, const std::string& archive,
                          const SourceSnapshot& snapshot) {
    if (window.DeleteState() != kDeleteChecked) return;
    if (std::optional<ArchiveIndex> index = ReadArchiveIndex(archive))
        DeleteArchivedSources(snapshot, *index);
}

// Jobs work on full paths only: a relative one would be read against whatever folder the process is
// in, and its parent text would not name the folder it is in.
bool IsAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

bool IsFileSystemRoot(const std::string& folder) {
    struct stat st {};
    struct stat root {};
    return ::stat(folder.c_str(), &st) == 0 && ::stat("/", &root) == 0 && st.st_dev == root.st_dev &&
           st.st_ino == root.st_ino;
}

using Ancestors = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

void CompressEachFileBelow(JobWindow& window, const std::string& commandPrefix, const std::string& folder,
                           const std::string& destFolder, Ancestors& ancestors) {
    const std::string here = WithTrailingSeparator(folder);
    // A folder that cannot be listed would hide its files without a word: it gets an "[NG]" line.
    DIR* listing = ::opendir(here.c_str());
    if (listing == nullptr) {
        AddResultLine(window, kNg, here);
        return;
    }
    ::closedir(listing);
    std::vector<SourceEntry> subfolders;
    for (SourceEntry& entry : ListFolder(here)) {
        if (entry.type == EntryType::Folder && !IsHiddenName(entry.name))
            subfolders.push_back(std::move(entry));
    }
    for (const SourceEntry& sub : subfolders) {
        const std::pair id{sub.device, sub.inode};
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) continue;
        ancestors.push_back(id);
        CompressEachFileBelow(window, commandPrefix, here + sub.name, destFolder, ancestors);
        ancestors.pop_back();
    }
    for (const SourceEntry& entry : ListFolder(here)) {
        const bool fileLike = entry.type == EntryType::File || entry.type == EntryType::Link;
        if (fileLike && !IsHiddenName(entry.name))
            CompressFile(window, commandPrefix, here + entry.name, destFolder);
    }
}

}  // namespace

int RunArchiver(JobWindow& window, const std::string& command) {
    std::vector<char> output(kArchiverOutputSize, '\0');
    DisabledWindow disabled(window);
    try {
        return mSevenZip32APIs::SevenZip(window.NativeHandle(), command.c_str(), output.data(),
                                         kArchiverOutputSize);
    } catch (...) {
        return mSevenZip32APIs::kArchiverNotBound;
    }
}

void AddResultLine(JobWindow& window, const std::string& tag, const std::string& path,
                   const std::string& suffix) {
    const int width = ResultLineWidth(window.ResultListWidthTwips());
    window.InsertResultLine(tag + CompactPath(path, window, width) + suffix);
}

void CompressFile(JobWindow& window, const std::string& commandPrefix, const std::string& file,
                  const std::string& destFolder) {
    const std::string source = WithTrailingSeparator(GetParentFolderName(file));
    const std::string name = GetFileName(file);
    const std::string ext = window.ExtensionText();

    const SourceSnapshot snapshot = SnapshotFile(file, name);
    const bool fileLike = !snapshot.entries.empty() && (snapshot.entries.front().type == EntryType::File ||
                                                        snapshot.entries.front().type == EntryType::Link);
    if (!fileLike || name.empty() || !IsAbsolute(file) || !IsAbsolute(destFolder) || !UsableExtension(ext)) {
        AddResultLine(window, kNg, source, name);
        return;
    }
    const std::string archive = FreeArchivePath(WithTrailingSeparator(destFolder) + GetBaseName(file), ext);
    const std::optional<std::string> command = FileCommand(commandPrefix, archive, source, name);
    if (!command || RunArchiver(window, *command) != 0) {
        AddResultLine(window, kNg, source, name);
        return;
    }
    DeleteSourcesIfAsked(window, archive, snapshot);
    AddResultLine(window, kOk, archive);
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
    const std::string archive = FreeArchivePath(GetParentFolderName(folder) + "/" + name, ext);
    const std::optional<std::string> command = FolderCommand(commandPrefix, archive, base);
    if (!command) {
        AddResultLine(window, kNg, base);
        return;
    }
    // The delete box cannot change while a job runs (no window events are processed and the window is
    // disabled during the call), so the tree is walked beforehand only when deletion is asked for;
    // whether to delete is still decided after the call.
    const SourceSnapshot snapshot =
        window.DeleteState() == kDeleteChecked ? SnapshotTree(folder) : SourceSnapshot{folder, {}};
    if (RunArchiver(window, *command) != 0) {
        AddResultLine(window, kNg, base);
        return;
    }
    DeleteSourcesIfAsked(window, archive, snapshot);
    AddResultLine(window, kOk, archive);
}

void CompressEachFile(JobWindow& window, const std::string& commandPrefix, const std::string& folder,
                      const std::string& destFolder) {
    Ancestors ancestors;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) ancestors.emplace_back(st.st_dev, st.st_ino);
    CompressEachFileBelow(window, commandPrefix, folder, destFolder, ancestors);
}

}  // namespace mMain
