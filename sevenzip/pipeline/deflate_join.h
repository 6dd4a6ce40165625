// deflate_join.h - lets independently compressed DEFLATE streams be concatenated into one stream.
//
// A complete DEFLATE stream ends with a block whose BFINAL bit is set, and its last block may end at
// any bit of the last byte. To let another stream follow, makeJoinable() finds the exact bit where the
// final block starts and where the stream ends (by walking the blocks with zlib's inflate), clears the
// final block's BFINAL bit and appends an empty non-final stored block. A stored block's header is
// followed by padding to a byte boundary, so the stream then ends on a byte boundary and the next
// stream's first block can start right after it. The last piece of a file is left as it is, so its
// final block ends the joined stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sevenzip::detail {

struct BlockBounds {
    uint64_t finalBlockBit = 0;  // bit offset of the final block's header (its BFINAL bit)
    uint64_t endBit = 0;         // bit offset just past the final block's end-of-block code
};

// Walks the complete raw DEFLATE stream in data[0, size) block by block. Returns false when the data
// is not one valid, complete stream.
bool locateFinalBlock(const uint8_t* data, size_t size, BlockBounds& bounds);

// Rewrites a complete raw DEFLATE stream so that another stream may follow it (see above). Adds at
// most 5 bytes. Returns false, leaving `stream` unchanged, when it is not one valid, complete stream.
bool makeJoinable(std::vector<uint8_t>& stream);

}  // namespace sevenzip::detail
