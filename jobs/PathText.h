// PathText.h - the small path-text operations the jobs are built from ('/' separated paths).
//
// These work on the text alone, except NameTaken and FreeArchivePath, which ask the file system. A path
// is a byte string as the file system takes it; nothing here assumes UTF-8.
#pragma once

#include <string>

namespace mMain {

// The folder holding `path`: "/work/report.txt" -> "/work", "/report.txt" -> "/", a folder
// "/work/docs" (or "/work/docs/") -> "/work". The root "/" and a text without '/' give "".
std::string GetParentFolderName(const std::string& path);

// The last name of `path`: "/work/report.final.txt" -> "report.final.txt", a folder "/work/docs/" ->
// "docs". The root "/" gives "".
std::string GetFileName(const std::string& path);

// The last name without its last extension: "report.final.txt" -> "report.final", "a." -> "a". A dot
// that starts the name does not start an extension, so a hidden ".bashrc" keeps its whole name.
std::string GetBaseName(const std::string& path);

// `path` with one '/' appended when it does not already end in one.
std::string WithTrailingSeparator(const std::string& path);

// True when `name` (one path component) is hidden on this platform: it starts with '.'.
bool IsHiddenName(const std::string& name);

// True when an archive may not be created under `path` because something is there already: a file,
// a folder, a link (even a dangling one), a FIFO, a socket or a device.
bool NameTaken(const std::string& path);

// The first free archive path for `stem` and extension `ext`: stem + ext, else stem + " (2)" + ext,
// " (3)", ... (the extension is appended as it is; no dot is added). Every existing entry counts as
// taken, so a folder of the candidate's name (the dropped folder itself, with an empty extension) does.
std::string FreeArchivePath(const std::string& stem, const std::string& ext);

}  // namespace mMain
