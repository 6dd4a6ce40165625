// piece_encoder.h - compresses one piece of a file into a complete DEFLATE stream with libdeflate,
// at an effort chosen from the -mx level, reusing compressors across pieces and calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "deflate_pipeline.h"

struct libdeflate_compressor;

namespace sevenzip::detail {

// The libdeflate level (0..12) used for an archive compressed with these options. 0 means every file
// is stored. -mfb and -mpass are accepted but do not change the level: libdeflate offers no match
// length or pass count settings apart from the level itself, and the level for -mx=9 is already the
// one that meets the size target at the speed target.
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

}  // namespace sevenzip::detail
