// piece_encoder.h - compresses one piece of a file into a complete DEFLATE stream with libdeflate,
// at an effort chosen from the -mx level and the piece's content, reusing compressors across pieces
// and calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "deflate_pipeline.h"

struct libdeflate_compressor;

namespace sevenzip::detail {

// The libdeflate level (0..12) used for an archive compressed with these options. 0 means every file
// is stored.
int encoderLevel(const CompressionOptions& options);

// Hands out libdeflate compressors and takes them back, so a process that archives many small files
// pays for allocating each level's large match-finder tables once. Safe to use from any thread.
class CompressorLease {
public:
    explicit CompressorLease(int level);  // throws std::bad_alloc when none can be allocated
    ~CompressorLease();
    CompressorLease(const CompressorLease&) = delete;
    CompressorLease& operator=(const CompressorLease&) = delete;
    libdeflate_compressor* get() const { return compressor_; }
    int level() const { return level_; }

private:
    libdeflate_compressor* compressor_;
    int level_;
};

// Compresses data[0, size) as one complete raw DEFLATE stream into `out` (resized to fit).
void deflatePiece(const CompressorLease& compressor, const uint8_t* data, size_t size,
                  std::vector<uint8_t>& out);

// What a quick sample of a piece (a few small slices spread over it, each compressed at libdeflate's
// fastest level) says about its content. Pieces below a few hundred kilobytes are always Ordinary:
// compressing them costs little, and a small sample would say little.
enum class Content {
    Ordinary,        // text, binaries: worth the archive's full level
    Incompressible,  // already compressed (photos, video, archives): the slices do not shrink
    Trivial,         // zeros and long runs (sparse files, disk images): the slices all but vanish
};
Content probeContent(const CompressorLease& probe, const uint8_t* data, size_t size);

// One thread's encoder. Compresses each piece at the archive's level, except that an Incompressible
// piece becomes stored blocks at once and a Trivial one is compressed at a middle level: on such data
// the near-optimal levels spend the most time (several times that of the middle levels) and gain
// nothing, as libdeflate ends up storing the first and finds the same maximal matches in the second.
// Not thread-safe.
class PieceEncoder {
public:
    explicit PieceEncoder(int level) : level_(level) {}
    // Compresses data[0, size) as one complete raw DEFLATE stream into `out` (resized to fit).
    void encode(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

private:
    static const CompressorLease& lease(std::optional<CompressorLease>& slot, int level);
    int level_;
    std::optional<CompressorLease> main_, probe_, store_, trivial_;
};

}  // namespace sevenzip::detail
