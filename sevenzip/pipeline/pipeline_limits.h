// pipeline_limits.h - the sizes that bound the pipeline's memory and shape its parallel work.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace sevenzip::detail {

// A large file is cut into pieces that are compressed on different cores and joined into one DEFLATE
// stream. No match reaches back across a cut, and libdeflate chooses its blocks anew on each side, so
// each cut costs size (1-2 KB on the benchmark corpus's binaries); pieces are therefore as large as the
// cores and memory allow. A file that fits in the read-ahead budget (see below) is cut into as many
// equal pieces as there are workers, so one file alone keeps every core busy for the same time; but no
// piece is smaller than kMinPieceSize (cuts in small files cost more than the time they win). A larger
// file is cut into pieces of at most kMaxPieceSize (which bounds memory), their count a multiple of the
// workers, so that a file archived alone ends with every core busy rather than one core working on
// the last piece while the others wait.
inline constexpr uint64_t kMinPieceSize = uint64_t{512} << 10;
inline constexpr uint64_t kMaxPieceSize = uint64_t{4} << 20;

// At most this many worker threads, whatever the core count, so memory stays bounded on large machines.
inline constexpr unsigned kMaxWorkers = 16;

// Read-ahead is bounded by the bytes of the pieces issued to workers but not yet handed to the writer:
// each holds up to about two piece sizes while being worked on (input and output) and about one when
// finished. Room for two largest pieces per worker (plus two for reading ahead) keeps every core busy
// while the writer drains finished pieces; at most kMaxReadAheadPieces largest pieces, so that the
// pieces' memory stays under about 200 MiB on the largest machines. Counting bytes rather than pieces
// lets many small files run ahead while a few large pieces are being compressed.
inline constexpr uint64_t kMaxReadAheadPieces = 24;
inline uint64_t readAheadBytes(unsigned workers) {
    return std::min<uint64_t>(kMaxReadAheadPieces, uint64_t{workers} * 2 + 2) * kMaxPieceSize;
}

// And by count, however small the pieces: each one in flight may hold a file open.
inline constexpr size_t kMaxPiecesInFlight = 256;

struct PiecePlan {
    uint64_t pieceSize = kMaxPieceSize;  // every piece but the last has exactly this many bytes
    uint64_t count = 1;                  // at least 1, also for an empty file
};

// How a file of `size` bytes is cut for `workers` worker threads (see above).
inline PiecePlan planPieces(uint64_t size, unsigned workers) {
    const uint64_t cores = std::max(workers, 1u);
    uint64_t count = std::clamp<uint64_t>(size / kMinPieceSize, 1, cores);
    if (size > readAheadBytes(workers)) {
        const uint64_t needed = (size + kMaxPieceSize - 1) / kMaxPieceSize;
        count = (needed + cores - 1) / cores * cores;
    }
    PiecePlan plan;
    plan.pieceSize = std::max<uint64_t>(1, (size + count - 1) / count);
    // Rounding up may leave the last piece empty (for example 5 bytes in 4 pieces of 2); recount.
    plan.count = std::max<uint64_t>(1, (size + plan.pieceSize - 1) / plan.pieceSize);
    return plan;
}

}  // namespace sevenzip::detail
