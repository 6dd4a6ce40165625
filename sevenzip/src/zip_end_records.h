// zip_end_records.h - corrections made to minizip's output after it closes the archive, where its
// records would mislead readers. Both work on the finished file through its descriptor.
#pragma once

#include <cstdint>

#include "file_io.h"

namespace sevenzip {

// With 65535 entries or more in an archive whose central directory starts below 4 GiB, minizip writes a
// bare end record whose count field cannot hold the count (unzip then rejects the archive). This
// replaces it by a ZIP64 end record, its locator and an end record that points to them; size is the
// file's size before and after. Does nothing when the ZIP64 records are already there. Returns false on
// a read or write error.
bool addZip64EndRecords(io::Handle fd, uint64_t& size, uint64_t entryCount);

// minizip records every entry that has a ZIP64 field as made by MS-DOS (version 4.5, host 0), and readers
// then ignore the Unix mode in its external attributes. This sets the host of every central header back
// to Unix (3). Returns false on a read or write error or a malformed central directory.
bool restoreUnixOrigin(io::Handle fd, uint64_t size);

}  // namespace sevenzip
