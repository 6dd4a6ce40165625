// ArchiveIndex.h - what a written archive holds, read back from its central directory.
//
// The jobs delete a source only when the archive holds it; this is how they find out, independently
// of how the archiver chose what to add.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace mMain {

// Entry name (as stored, '/'-separated; folders end in '/') -> uncompressed size. For a stored link
// the size is the length of its target text.
using ArchiveIndex = std::map<std::string, std::uint64_t>;

// Reads the entry names and sizes of the ZIP archive at `path`; nullopt when it cannot be opened or
// its directory cannot be read completely.
std::optional<ArchiveIndex> ReadArchiveIndex(const std::string& path);

}  // namespace mMain
