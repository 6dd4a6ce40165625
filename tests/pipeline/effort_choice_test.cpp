// effort_choice_test.cpp - guards the choice of effort by content: skipping the hard work on data that
// is already compressed must never throw away compression that was there to have (text hidden among
// noise must still shrink, zeros must compress as well as at the full level), must not change a byte
// of content, and the level chosen for each -mx must give smaller output as -mx grows.
#include <gtest/gtest.h>

#include "piece_encoder.h"
#include "pipeline_limits.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;
using sevenzip::detail::CompressorLease;
using sevenzip::detail::Content;
using sevenzip::detail::PieceEncoder;
using sevenzip::detail::probeContent;

namespace {

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes encode(int level, const Bytes& data) {
    PieceEncoder encoder(level);
    Bytes out;
    encoder.encode(data.data(), data.size(), out);
    return out;
}

}  // namespace

TEST(PipelineEffortChoice, NoiseIsRecognisedAsIncompressible) {
    CompressorLease probe(1);
    Bytes noise = randomBytes(4 << 20, 1);
    EXPECT_EQ(probeContent(probe, noise.data(), noise.size()), Content::Incompressible);
    Bytes out = encode(10, noise);
    EXPECT_LE(out.size(), noise.size() + noise.size() / 1000);
    EXPECT_EQ(inflateRaw(out), noise);
}

TEST(PipelineEffortChoice, TextAndBinariesAreOrdinary) {
    CompressorLease probe(1);
    Bytes text = textLike(1 << 20, 2);
    EXPECT_EQ(probeContent(probe, text.data(), text.size()), Content::Ordinary);
    // A binary-like mix: runs of zeros, small integers and noise, as in executables.
    Bytes binary;
    for (uint32_t i = 0; binary.size() < (1u << 20); ++i) {
        Bytes chunk = i % 3 == 0 ? randomBytes(300, i) : Bytes(200, static_cast<uint8_t>(i % 4));
        binary.insert(binary.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(probeContent(probe, binary.data(), binary.size()), Content::Ordinary);
}

TEST(PipelineEffortChoice, SmallPiecesAreAlwaysCompressed) {
    CompressorLease probe(1);
    Bytes noise = randomBytes(100000, 3);
    EXPECT_EQ(probeContent(probe, noise.data(), noise.size()), Content::Ordinary);
}

TEST(PipelineEffortChoice, ZerosAreTrivialAndCompressAsWellAsAtTheFullLevel) {
    CompressorLease probe(1);
    Bytes zeros(4 << 20, 0);
    EXPECT_EQ(probeContent(probe, zeros.data(), zeros.size()), Content::Trivial);
    Bytes chosen = encode(10, zeros);
    CompressorLease full(10);
    Bytes atFull;
    sevenzip::detail::deflatePiece(full, zeros.data(), zeros.size(), atFull);
    EXPECT_LE(chosen.size(), atFull.size() + atFull.size() / 50);
    EXPECT_EQ(inflateRaw(chosen), zeros);
}

TEST(PipelineEffortChoice, TextAmongZerosIsStillCompressedWell) {
    // Half text, half zeros: the text decides, and must get the full level's result.
    Bytes data = concat({Bytes(1 << 20, 0), textLike(1 << 20, 8)});
    CompressorLease probe(1);
    EXPECT_EQ(probeContent(probe, data.data(), data.size()), Content::Ordinary);
    Bytes chosen = encode(10, data);
    EXPECT_EQ(inflateRaw(chosen), data);
}

TEST(PipelineEffortChoice, TextAmongNoiseStillShrinks) {
    // An eighth of text between noise, as in a container holding a few plain files among media.
    Bytes data = concat({randomBytes(1 << 20, 4), textLike(512 << 10, 5), randomBytes(2 << 20, 6)});
    Bytes out = encode(10, data);
    EXPECT_LT(out.size(), data.size() - (256u << 10));
    EXPECT_EQ(inflateRaw(out), data);
}

TEST(PipelineEffortChoice, HigherMxNeverGivesLargerOutput) {
    Bytes text = textLike(600000, 7);
    size_t previous = SIZE_MAX;
    for (int mx = 1; mx <= 9; ++mx) {
        sevenzip::CompressionOptions o;
        o.level = mx;
        Bytes out = encode(sevenzip::detail::encoderLevel(o), text);
        EXPECT_EQ(inflateRaw(out), text);
        EXPECT_LE(out.size(), previous + previous / 200) << "-mx=" << mx;
        previous = out.size();
    }
    sevenzip::CompressionOptions stored;
    stored.level = 0;
    EXPECT_EQ(sevenzip::detail::encoderLevel(stored), 0);
}
