// CompressionJobs.h - the three compression jobs: one file, one whole folder, each file of a tree.
//
// A job reads the extension and the delete box from the window when it runs, picks a free archive
// path beside the source, composes the command, runs the archiver with the window disabled, deletes
// the source when the archive was made and the delete box is checked (value 1), and inserts one
// "[OK]"/"[NG]" line at the top of the window's result list. Jobs never throw and never overwrite.
//
// How the platform's names are handled (hidden, system and links as FileSystem.h marks them):
// - hidden: the per-file walk skips hidden files and folders; a whole folder is archived with
//   everything in it, hidden entries included;
// - system: the per-file walk skips system files and folders, and the file job refuses a system
//   file; a FIFO, socket or device is never opened, never archived, never deleted;
// - symbolic links: a dropped link stands for what it leads to. A link to a file is archived with the
//   file's content under the link's name, the archive beside the link and named after it; a link to a
//   folder gives the archive of the folder's tree, reached through the link. Inside a tree no link is
//   followed: a link to a regular file is archived with its content (the per-file walk gives it its
//   own archive); a link to a folder and a dangling link are stored as links (the per-file walk makes
//   no archive for them). Deletion removes a link itself, never what it leads to: a link to a file
//   goes when the archive holds the file's size under the link's name and the link is unchanged; a
//   dropped link to a folder goes in whole-folder mode (and nothing of the folder it leads to) only
//   when the archive reads back holding every file of that folder's tree and the link is unchanged;
//   in per-file mode through such a link nothing is deleted, since the files belong to the folder the
//   link leads to;
// - a name holding '"' cannot be passed to the archiver: the job gives an "[NG]" line without calling it;
// - paths must be full paths (starting with a root, IsAbsolute); a relative one gives an "[NG]" line
//   likewise;
// - the archive name: the first free one, every existing entry counting as taken; when another
//   process takes the chosen name before the archive is published, the next free one is tried, as
//   long as such races are lost (bounded only against a pathological case), and the result line shows
//   the name used;
// - before deleting anything, the job flushes the archive's folder to disk, so the archive's name
//   survives a crash that would lose the sources.
#pragma once

#include <string>

#include "JobWindow.h"

namespace mMain {

// The size of the buffer the archiver writes its report into, in bytes.
inline constexpr int kArchiverOutputSize = 32767;

// Runs one archiver command: disables the window, calls the library, enables the window again.
// Returns the library's result; 0 is success. A library that cannot be bound gives non-zero.
int RunArchiver(JobWindow& window, const std::string& command);

// Inserts tag + the path shortened to the result list's width less 400 twips + suffix at the top of
// the window's result list.
void AddResultLine(JobWindow& window, const std::string& tag, const std::string& path,
                   const std::string& suffix = "");

// Archives the file `file` (a full path) into a free "<base name><extension>" in `destFolder` (with
// or without a trailing separator). Gives "[NG]" + the file's folder + its name when the file is gone,
// is neither a file nor a link to one, is a system file, or the archiver fails; the source then stays.
void CompressFile(JobWindow& window, const std::string& commandPrefix, const std::string& file,
                  const std::string& destFolder);

// Archives the whole tree of `folder` into a free "<folder><extension>" beside it. With the delete box
// checked it then deletes only what the archive holds and what has not changed since the archiver
// started, and the folders whose entries the archive holds once they are empty; anything that
// appeared meanwhile stays, with its folders. The file-system root is refused with an "[NG]" line,
// nothing written.
void CompressFolder(JobWindow& window, const std::string& commandPrefix, const std::string& folder);

// Archives every file of the tree of `folder`, each on its own, into `destFolder`: the subfolders
// first, depth first, in name order, then the folder's own files in name order. Hidden and system
// entries are skipped; folders are never deleted. A folder without files gives no line; a folder that
// cannot be listed gives "[NG]" + its path (with a trailing separator), a file listed but out of reach (its
// path passes the system's limit, its folder grants no search) "[NG]" + its folder + its name, and the
// walk goes on. Each folder is listed once. The file-system root is refused with an "[NG]" line,
// nothing written.
void CompressEachFile(JobWindow& window, const std::string& commandPrefix, const std::string& folder,
                      const std::string& destFolder);

}  // namespace mMain
