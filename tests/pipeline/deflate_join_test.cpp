// deflate_join_test.cpp - guards the joining of independently compressed pieces: the final block and
// the stream's end must be found at the exact bit for streams ending at every bit position and made of
// every block type, joined streams must decode (with zlib's inflate) to the concatenated content, and
// anything that is not one complete stream must be refused and left unchanged.
#include <gtest/gtest.h>

#include "deflate_join.h"
#include "piece_encoder.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;
using sevenzip::detail::makeJoinable;

namespace {

Bytes ourDeflate(const Bytes& data, int level) {
    sevenzip::detail::CompressorLease compressor(level);
    Bytes out;
    sevenzip::detail::deflatePiece(compressor, data.data(), data.size(), out);
    return out;
}

// zlib as a second, independent encoder: its streams have other block layouts than libdeflate's.
Bytes zlibDeflate(const Bytes& data, int level, int strategy) {
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK)
        throw std::runtime_error("zlib");
    Bytes out(deflateBound(&s, static_cast<uLong>(data.size())) + 16);
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("zlib deflate");
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// Content of several kinds in small sizes, so streams end at many different bit positions.
std::vector<Bytes> sampleContents() {
    std::vector<Bytes> out;
    for (uint32_t n = 0; n < 40; ++n) out.push_back(textLike(n * 13, n));
    for (uint32_t n = 1; n < 12; ++n) out.push_back(randomBytes(n * 97, n + 100));
    out.push_back(Bytes(100000, 'z'));
    out.push_back(randomBytes(70000, 7));
    out.push_back(textLike(300000, 8));
    return out;
}

// Joins every stream but the last with makeJoinable and checks the whole decodes to all the content.
void expectJoinDecodes(const std::vector<Bytes>& contents, const std::vector<Bytes>& streams) {
    Bytes joined, expected;
    for (size_t i = 0; i < streams.size(); ++i) {
        Bytes s = streams[i];
        if (i + 1 < streams.size()) {
            ASSERT_TRUE(makeJoinable(s)) << "stream " << i;
        }
        EXPECT_LE(s.size(), streams[i].size() + 5);
        joined.insert(joined.end(), s.begin(), s.end());
        expected.insert(expected.end(), contents[i].begin(), contents[i].end());
    }
    auto decoded = inflateRaw(joined);
    ASSERT_TRUE(decoded.has_value()) << "joined stream does not decode";
    EXPECT_TRUE(*decoded == expected);
}

}  // namespace

TEST(PipelineDeflateJoin, EndBitMatchesTheStreamLengthForEveryLevel) {
    for (int level : {0, 1, 6, 9, 10, 12}) {
        for (const Bytes& content : sampleContents()) {
            Bytes stream = ourDeflate(content, level);
            sevenzip::detail::BlockBounds bounds;
            ASSERT_TRUE(sevenzip::detail::locateFinalBlock(stream.data(), stream.size(), bounds));
            EXPECT_EQ((bounds.endBit + 7) / 8, stream.size());
            EXPECT_LT(bounds.finalBlockBit, bounds.endBit);
            // The final block's first bit is its BFINAL flag, which must be set.
            EXPECT_TRUE(stream[bounds.finalBlockBit / 8] >> (bounds.finalBlockBit % 8) & 1);
        }
    }
}

TEST(PipelineDeflateJoin, JoinedLibdeflateStreamsDecodeToTheConcatenation) {
    auto contents = sampleContents();
    for (int level : {0, 1, 6, 10, 12}) {
        SCOPED_TRACE("level " + std::to_string(level));
        std::vector<Bytes> streams;
        for (const auto& c : contents) streams.push_back(ourDeflate(c, level));
        expectJoinDecodes(contents, streams);
    }
}

TEST(PipelineDeflateJoin, JoinedZlibStreamsOfEveryBlockTypeDecode) {
    auto contents = sampleContents();
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE}) {
        for (int level : {0, 1, 9}) {
            SCOPED_TRACE("strategy " + std::to_string(strategy) + " level " + std::to_string(level));
            std::vector<Bytes> streams;
            for (const auto& c : contents) streams.push_back(zlibDeflate(c, level, strategy));
            expectJoinDecodes(contents, streams);
        }
    }
}

TEST(PipelineDeflateJoin, JoinedStreamStillEndsWithTheLastPiecesFinalBlock) {
    Bytes a = textLike(5000, 1), b = textLike(7000, 2);
    Bytes first = ourDeflate(a, 10);
    ASSERT_TRUE(makeJoinable(first));
    // A joinable prefix alone is not a complete stream: its final flag is gone.
    EXPECT_FALSE(inflateRaw(first).has_value());
    Bytes second = ourDeflate(b, 10);
    first.insert(first.end(), second.begin(), second.end());
    Bytes expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(inflateRaw(first), expected);
}

TEST(PipelineDeflateJoin, TruncatedStreamIsRefusedUnchanged) {
    Bytes stream = ourDeflate(textLike(50000, 3), 10);
    for (size_t cut : {size_t{0}, size_t{1}, stream.size() / 2, stream.size() - 1}) {
        Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        Bytes copy = part;
        EXPECT_FALSE(makeJoinable(copy)) << "cut at " << cut;
        EXPECT_EQ(copy, part);
    }
}

TEST(PipelineDeflateJoin, StreamWithTrailingBytesIsRefused) {
    Bytes stream = ourDeflate(textLike(5000, 4), 6);
    stream.push_back(0);
    Bytes copy = stream;
    EXPECT_FALSE(makeJoinable(copy));
    EXPECT_EQ(copy, stream);
}

TEST(PipelineDeflateJoin, GarbageIsRefused) {
    Bytes garbage = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // reserved block type 11
    Bytes copy = garbage;
    EXPECT_FALSE(makeJoinable(copy));
    EXPECT_EQ(copy, garbage);
}
