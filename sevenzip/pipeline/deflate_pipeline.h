// deflate_pipeline.h - compresses the contents of many files on worker threads and hands the results
// back one file at a time, in the order the files were added.
//
// The ZIP writer adds every file it will store, then calls next() until each file's last piece has
// arrived, writing pieces as they come. Workers read ahead and compress while the writer writes, and
// the writer's own thread compresses inside next() instead of waiting, so all cores are busy; a large
// file is cut into pieces that are compressed in parallel and joined into one valid DEFLATE stream.
// Work that fits in one piece runs on the caller's thread alone. Memory stays bounded whatever the
// file sizes: only a fixed number of pieces is in flight at any time.
//
// Levels: -mx=0 stores (every piece is delivered raw, for the Stored method); -mx=1..9 map to
// libdeflate's levels, -mx=9 to its near-optimal level 10.
//
// Reading is the pipeline's job, and with it the promise that an archive holds every file exactly:
// each file is opened without blocking (a FIFO or device is refused, never read) and without following
// a link in its last component unless the listing chose to read through that link, must still be the
// regular file that was listed (same identity), must give exactly its size in bytes, and must be
// unchanged when reading ends. Any breach is reported as an error on that file's piece.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_io.h"

namespace sevenzip {

struct SourceFile {
    std::string path;           // absolute path as bytes
    io::FileIdentity identity;  // from the listing
    bool throughLink = false;   // the last component is a link to the listed file: read through it
};

struct CompressionOptions {
    int level = 5;         // -mx: 0 stores every file; 1..9 compress harder as it grows
    unsigned threads = 0;  // worker threads; 0 means one per available core
};

struct Piece {
    std::vector<uint8_t> bytes;  // DEFLATE bytes of this piece, or the raw content when stored
    bool stored = false;         // bytes are the content: every piece at -mx=0, or a one-piece file
                                 // that does not shrink; the same for all pieces of one file
    bool last = false;           // the file's last piece; the next call moves on to the next file
    uint32_t crc = 0;            // CRC-32 of the whole file's content; set on the last piece
    uint64_t rawSize = 0;        // the whole file's size in bytes; set on the last piece
    int error = 0;               // 0, or an errno value: the file could not be read exactly (see above)
    std::string message;         // why, when error != 0
};

// A stream of files in, pieces out. Not copyable; one writer thread calls add() and next().
class DeflatePipeline {
public:
    explicit DeflatePipeline(const CompressionOptions& options);
    ~DeflatePipeline();  // stops and joins every worker, also when files are still pending
    DeflatePipeline(const DeflatePipeline&) = delete;
    DeflatePipeline& operator=(const DeflatePipeline&) = delete;

    // Queues a file. Files are delivered in the order they were added.
    void add(SourceFile file);
    // Blocks until the next piece of the current file is ready. A piece with error != 0 ends that file
    // (it is also its last piece). Must not be called after the last file's last piece.
    Piece next();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sevenzip
