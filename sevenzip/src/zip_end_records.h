// zip_end_records.h - the central directory and end records, rewritten after minizip closes the archive
// where its records would mislead readers.
#pragma once

#include <cstdint>

#include "file_io.h"

namespace sevenzip {

// Rewrites the central directory and the end records of the finished archive through its descriptor;
// size is the file's size before and after, entryCount the entries written. What changes:
// - Every central header is marked as made on Unix (3): minizip marks each entry with a ZIP64 field as
//   made by MS-DOS, and readers then ignore the Unix mode in its external attributes.
// - A central header whose uncompressed size, compressed size or local header offset is 0xFFFFFFFF or
//   more gets 0xFFFFFFFF in all three 32-bit fields and all three values, in that order, in its ZIP64
//   field. minizip lists only the values that need it, and Info-ZIP's unzip, after an entry whose size
//   is exactly 0xFFFFFFFF, takes the next entry's lone offset for a size and rejects the archive.
// - The ZIP64 end record and its locator are written whenever the entry count, the directory's size or
//   its offset does not fit the end record (minizip writes a bare end record for 65535 entries or more
//   in a directory below 4 GiB, which unzip rejects).
// Returns false on a read or write error or a malformed central directory.
bool rewriteDirectory(io::Handle fd, uint64_t& size, uint64_t entryCount);

}  // namespace sevenzip
