// deflate_join.cpp - finds a DEFLATE stream's final block and turns the stream into a joinable prefix.
#include "deflate_join.h"

#include <zlib.h>

#include <array>
#include <limits>

namespace sevenzip::detail {
namespace {

// Bits in zlib's data_type after an inflate(Z_BLOCK) call: the count of unused bits in the last input
// byte taken, "the last block was begun", and "stopped right after an end-of-block code".
constexpr int kUnusedBitsMask = 63;
constexpr int kLastBlockFlag = 64;
constexpr int kBlockBoundaryFlag = 128;

// The empty stored block appended after the cleared final block: its three header bits are zero
// (BFINAL 0, BTYPE 00), padding follows to the byte boundary, then LEN 0 and NLEN 0xFFFF.
constexpr std::array<uint8_t, 4> kEmptyStoredLengths = {0x00, 0x00, 0xFF, 0xFF};
constexpr uint64_t kStoredHeaderBits = 3;

class RawInflater {
public:
    RawInflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~RawInflater() {
        if (ok_) inflateEnd(&stream_);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;
    bool ok() const { return ok_; }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

bool locateFinalBlock(const uint8_t* data, size_t size, BlockBounds& bounds) {
    if (size == 0 || size > std::numeric_limits<uInt>::max()) return false;
    RawInflater inflater;
    if (!inflater.ok()) return false;
    z_stream& s = inflater.stream();
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);

    // Output is needed only to keep inflate going; the window it keeps is internal.
    std::array<Bytef, 64 * 1024> scratch{};
    uint64_t blockStart = 0;
    for (;;) {
        s.next_out = scratch.data();
        s.avail_out = static_cast<uInt>(scratch.size());
        int result = inflate(&s, Z_BLOCK);
        if (result != Z_OK) return false;  // damaged, or ran out of input before the final block ended
        if ((s.data_type & kBlockBoundaryFlag) == 0) continue;
        uint64_t bit = uint64_t{s.total_in} * 8 - static_cast<uint64_t>(s.data_type & kUnusedBitsMask);
        if (s.data_type & kLastBlockFlag) {
            bounds.finalBlockBit = blockStart;
            bounds.endBit = bit;
            return bit <= uint64_t{size} * 8 && (bit + 7) / 8 == size;
        }
        blockStart = bit;
    }
}

bool makeJoinable(std::vector<uint8_t>& stream) {
    BlockBounds bounds;
    if (!locateFinalBlock(stream.data(), stream.size(), bounds)) return false;
    stream[static_cast<size_t>(bounds.finalBlockBit / 8)] &=
        static_cast<uint8_t>(~(1u << (bounds.finalBlockBit % 8)));
    // Clear whatever padding follows the end-of-block code, so the stored header's bits read as zero.
    if (bounds.endBit % 8 != 0)
        stream[static_cast<size_t>(bounds.endBit / 8)] &=
            static_cast<uint8_t>((1u << (bounds.endBit % 8)) - 1);
    stream.resize(static_cast<size_t>((bounds.endBit + kStoredHeaderBits + 7) / 8), 0);
    stream.insert(stream.end(), kEmptyStoredLengths.begin(), kEmptyStoredLengths.end());
    return true;
}

}  // namespace sevenzip::detail
