// source_reader.h - opens a listed file without blocking (following a link only where the listing read
// through it), and reads it in pieces,
// refusing anything that is not exactly the regular file that was listed.
//
// Every function reports a failure as an errno value plus a message naming the file; 0 means success.
// The checks answer one question: does the archive get exactly the bytes the listing promised?
//   ELOOP   the path is a symbolic link now, where the listing found none
//   EINVAL  the path is not a regular file (FIFO, device, folder): it is never read
//   ESTALE  the file is not the one listed (device, inode, size or modification time differ), or it
//           ended early, grew, or changed while it was read
//   others  as open(2), fstat(2) and pread(2) report them
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "deflate_pipeline.h"

namespace sevenzip::detail {

struct ReadStatus {
    int error = 0;
    std::string message;
    explicit operator bool() const { return error == 0; }
};

// Opens file.path read-only (O_NOFOLLOW unless file.throughLink, O_NONBLOCK, and O_NOCTTY so that a
// terminal put in the file's place cannot become ours) and checks that it is a regular file with the
// listed identity. On failure fd stays closed.
ReadStatus openSource(const SourceFile& file, io::Fd& fd);

// Reads exactly `length` bytes at `offset` into `out`. A file that ends early is ESTALE.
ReadStatus readExactly(const SourceFile& file, io::Handle fd, uint64_t offset, size_t length, uint8_t* out);

// After the last read: the file must have no byte past its listed size, and its size and modification
// time must be those listed.
ReadStatus checkUnchanged(const SourceFile& file, io::Handle fd);

}  // namespace sevenzip::detail
