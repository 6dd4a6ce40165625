// pipeline_limits.h - the sizes that bound the pipeline's memory and shape its parallel work.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace sevenzip::detail {

// A file larger than one piece is cut into pieces of this size, compressed independently on different
// cores and joined into one DEFLATE stream. No match can reach back across a cut, so each cut costs a
// little size (about a kilobyte on binaries); larger pieces cost less but leave cores idle on files of
// a few megabytes. One piece is also the largest file delivered stored (raw) as a whole.
inline constexpr size_t kPieceSize = size_t{1} << 20;

// The pipeline keeps at most this many pieces issued but not yet handed to the writer. Each holds up
// to about two piece sizes while being worked on (input and output), so this bounds memory.
inline constexpr size_t kMaxPiecesInFlightCap = 96;

// At most this many worker threads, whatever the core count, so memory stays bounded on large machines.
inline constexpr unsigned kMaxWorkers = 32;

// Pieces in flight for a given number of workers: two per worker keeps every core busy while the
// writer drains finished pieces, plus a few for reading ahead.
inline size_t maxPiecesInFlight(unsigned workers) {
    return std::min<size_t>(kMaxPiecesInFlightCap, size_t{workers} * 2 + 2);
}

}  // namespace sevenzip::detail
