// PathText.h - the small path-text operations the jobs are built from, with the platform's separator
// and roots (FileSystem.h): '/' and "/" on POSIX systems, '\' and "C:\" or "\\server\share\" on
// Windows. The examples below are POSIX paths.
//
// These work on the text alone, except FreeArchivePath, which asks the file system. A path is a byte
// string as the file system takes it (UTF-8 on Windows); nothing here assumes more.
#pragma once

#include <string>

namespace mMain {

// The folder holding `path`: "/work/report.txt" -> "/work", "/report.txt" -> "/", a folder
// "/work/docs" (or "/work/docs/") -> "/work". A root ("/") and a text without a separator give "".
std::string GetParentFolderName(const std::string& path);

// The last name of `path`: "/work/report.final.txt" -> "report.final.txt", a folder "/work/docs/" ->
// "docs". A root gives "".
std::string GetFileName(const std::string& path);

// The last name without its last extension: "report.final.txt" -> "report.final", "a." -> "a". A dot
// that starts the name does not start an extension, so a hidden ".bashrc" keeps its whole name.
std::string GetBaseName(const std::string& path);

// `path` with one separator appended when it does not already end in one.
std::string WithTrailingSeparator(const std::string& path);

// `path` without trailing separators, except that a root keeps its own ("/" stays "/").
std::string WithoutTrailingSeparators(const std::string& path);

// True when `path` is a full path, one that starts with a root.
bool IsAbsolute(const std::string& path);

// The first free archive path for `stem` and extension `ext`: stem + ext, else stem + " (2)" + ext,
// " (3)", ... (the extension is appended as it is; no dot is added). Every existing entry counts as
// taken (NameTaken), so a folder of the candidate's name (the dropped folder itself, with an empty
// extension) does.
std::string FreeArchivePath(const std::string& stem, const std::string& ext);

}  // namespace mMain
