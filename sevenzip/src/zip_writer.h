// zip_writer.h - writes the ZIP container through zlib's minizip in raw mode: the caller hands over data
// that is already DEFLATE-compressed (or stored) with its CRC and size; this file owns every header.
//
// What each entry gets:
// - its name relative to the base folder with '/' separators (folders end in '/'), with the UTF-8 flag
//   (bit 11) only when the name is not ASCII and is valid UTF-8; other bytes are stored as they are;
// - the modification time as a DOS date (local time, clamped to 1980..2107) and, for times from 1970
//   to 2038-01-19, as an extended-timestamp extra field (0x5455) in both headers;
// - the Unix type and permission bits in the upper half of the external attributes, "version made by"
//   Unix (3), and the MS-DOS folder bit for folders;
// - ZIP64 fields only where a size, an offset or the entry count needs them. An entry is opened with a
//   ZIP64 local field when the data it stores may reach 0xFFFFFFFF bytes: its size when stored, its size
//   plus DEFLATE's worst-case growth when compressed, since the compressed size is not known until it is
//   written. That field then holds both sizes, with 0xFFFFFFFF in both 32-bit fields. A central header
//   gets a ZIP64 field when any of its sizes or its offset is 0xFFFFFFFF or more, and then holds all
//   three there (see zip_end_records.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "file_selection.h"

namespace sevenzip {

class ZipWriter {
public:
    // fd: an empty regular file open for reading and writing; it stays open and is not owned.
    // level: the -mx level, recorded in the general-purpose flags of DEFLATE entries.
    ZipWriter(io::Handle fd, int level);
    ~ZipWriter();  // a writer not finished leaves an incomplete file for the caller to remove
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void addFolder(const SelectedEntry& entry);
    void addLink(const SelectedEntry& entry);  // stored; the content is the link's target text

    // A file entry: open it (stored or DEFLATE), write its data in any number of calls, close it with
    // the size and CRC-32 of the original content.
    void openFile(const SelectedEntry& entry, bool stored);
    void writeData(const uint8_t* data, size_t size);
    void closeFile(uint64_t rawSize, uint32_t crc);

    // Writes the central directory and the end records, and flushes everything to the descriptor.
    void finish();

    // Every failure throws Failure(SEVENZIP_E_WRITE) with the reason.

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether an entry of this size, stored or compressed, is opened with a ZIP64 local field (see above).
bool needsZip64Header(uint64_t rawSize, bool stored);

}  // namespace sevenzip
