// round_trip_test.cpp - guards against lost, damaged or reordered content: every file delivered by the
// pipeline must decode (with zlib, an independent decoder) to exactly its bytes on disk, with the right
// CRC-32 and size, in the order the files were added, whatever the size, content, level or thread count.
#include <gtest/gtest.h>

#include "pipeline_limits.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;
using sevenzip::CompressionOptions;
using sevenzip::detail::kMaxPieceSize;
using sevenzip::detail::kMinPieceSize;

namespace {

CompressionOptions options(int level, unsigned threads = 2) {
    CompressionOptions o;
    o.level = level;
    o.threads = threads;
    return o;
}

// Writes each content to its own file, runs the pipeline over them and checks every file came back.
void expectRoundTrip(const std::vector<Bytes>& contents, const CompressionOptions& opts) {
    TempDir dir;
    std::vector<sevenzip::SourceFile> files;
    for (size_t i = 0; i < contents.size(); ++i) {
        std::string path = dir.file("f" + std::to_string(i));
        writeFile(path, contents[i]);
        files.push_back(listFile(path));
    }
    auto delivered = runPipeline(files, opts);
    ASSERT_EQ(delivered.size(), contents.size());
    for (size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i) + " of " + std::to_string(contents[i].size()) + " bytes");
        const Delivered& d = delivered[i];
        ASSERT_EQ(d.error, 0) << d.message;
        auto content = contentOf(d);
        ASSERT_TRUE(content.has_value()) << "not one valid DEFLATE stream";
        EXPECT_TRUE(*content == contents[i]) << "content differs";
        EXPECT_EQ(d.rawSize, contents[i].size());
        EXPECT_EQ(d.crc, zlibCrc(contents[i]));
        EXPECT_EQ(d.pieces, sevenzip::detail::planPieces(contents[i].size(), opts.threads).count);
    }
}

}  // namespace

TEST(PipelineRoundTrip, EmptyFileIsDeliveredStoredAndEmpty) {
    TempDir dir;
    writeFile(dir.file("empty"), {});
    auto d = runPipeline({listFile(dir.file("empty"))}, options(9));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].error, 0);
    EXPECT_TRUE(d[0].stored);
    EXPECT_TRUE(d[0].bytes.empty());
    EXPECT_EQ(d[0].crc, 0u);
    EXPECT_EQ(d[0].rawSize, 0u);
}

TEST(PipelineRoundTrip, TinyFiles) {
    expectRoundTrip({{'a'}, {0, 0}, textLike(3, 1), textLike(100, 2)}, options(9));
}

TEST(PipelineRoundTrip, CompressibleSinglePieceIsDeflatedSmaller) {
    TempDir dir;
    Bytes text = textLike(200000, 3);
    writeFile(dir.file("t"), text);
    auto d = runPipeline({listFile(dir.file("t"))}, options(9));
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].error, 0) << d[0].message;
    EXPECT_FALSE(d[0].stored);
    EXPECT_LT(d[0].bytes.size(), text.size() / 2);
    EXPECT_EQ(inflateRaw(d[0].bytes), text);
}

TEST(PipelineRoundTrip, IncompressibleSinglePieceIsStoredAsItIs) {
    TempDir dir;
    Bytes noise = randomBytes(300000, 4);
    writeFile(dir.file("r"), noise);
    auto d = runPipeline({listFile(dir.file("r"))}, options(9));
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].error, 0) << d[0].message;
    EXPECT_TRUE(d[0].stored);
    EXPECT_TRUE(d[0].bytes == noise);
    EXPECT_EQ(d[0].crc, zlibCrc(noise));
}

TEST(PipelineRoundTrip, PieceBoundarySizes) {
    // One worker: files are cut only where they exceed the largest piece.
    expectRoundTrip({textLike(kMaxPieceSize - 1, 5), textLike(kMaxPieceSize, 6),
                     textLike(kMaxPieceSize + 1, 7), textLike(2 * kMaxPieceSize, 8)},
                    options(4, 1));
    // Several workers: files are cut to keep them busy, but not below the smallest piece.
    expectRoundTrip({textLike(2 * kMinPieceSize - 1, 5), textLike(2 * kMinPieceSize, 6),
                     textLike(2 * kMinPieceSize + 1, 7), textLike(3 * kMinPieceSize + 2, 8)},
                    options(4, 3));
}

TEST(PipelineRoundTrip, MultiPieceTextJoinsIntoOneStream) {
    expectRoundTrip({textLike(3 * kMinPieceSize + kMinPieceSize / 2, 9)}, options(9, 4));
}

TEST(PipelineRoundTrip, MultiPieceIncompressibleJoinsIntoOneStream) {
    expectRoundTrip({randomBytes(2 * kMinPieceSize + 12345, 10)}, options(9, 3));
}

TEST(PipelineRoundTrip, MultiPieceMixedContentAcrossPieces) {
    // Text, noise and long runs, so pieces end in blocks of every kind (stored, fixed, dynamic).
    Bytes mixed = textLike(kMinPieceSize / 2, 11);
    Bytes noise = randomBytes(kMinPieceSize, 12);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    mixed.insert(mixed.end(), kMinPieceSize, uint8_t{0});
    Bytes more = textLike(kMinPieceSize + 777, 13);
    mixed.insert(mixed.end(), more.begin(), more.end());
    expectRoundTrip({mixed}, options(9, 5));
}

TEST(PipelineRoundTrip, ManyMixedFilesKeepTheirOrder) {
    std::vector<Bytes> contents;
    for (uint32_t i = 0; i < 60; ++i) {
        if (i % 5 == 0)
            contents.push_back(randomBytes(1000 + i * 37, i));
        else if (i % 7 == 0)
            contents.push_back(textLike(2 * kMinPieceSize + i * 1000, i));
        else if (i % 11 == 0)
            contents.push_back({});
        else
            contents.push_back(textLike(500 + i * 2000, i));
    }
    expectRoundTrip(contents, options(9, 4));
}

TEST(PipelineRoundTrip, EveryLevel) {
    std::vector<Bytes> contents = {textLike(50000, 20), randomBytes(4000, 21),
                                   textLike(2 * kMinPieceSize + 5000, 22)};
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        expectRoundTrip(contents, options(level));
    }
}

TEST(PipelineRoundTrip, LevelZeroStoresEverySinglePieceFile) {
    TempDir dir;
    Bytes text = textLike(100000, 23);
    writeFile(dir.file("t"), text);
    auto d = runPipeline({listFile(dir.file("t"))}, options(0));
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].error, 0) << d[0].message;
    EXPECT_TRUE(d[0].stored);
    EXPECT_TRUE(d[0].bytes == text);
}

TEST(PipelineRoundTrip, LevelZeroMultiPieceFileIsNotCompressed) {
    TempDir dir;
    Bytes text = textLike(2 * kMinPieceSize + 100, 24);
    writeFile(dir.file("t"), text);
    auto d = runPipeline({listFile(dir.file("t"))}, options(0));
    ASSERT_EQ(d.size(), 1u);
    ASSERT_EQ(d[0].error, 0) << d[0].message;
    EXPECT_EQ(d[0].pieces, 2u);
    EXPECT_FALSE(d[0].stored);
    EXPECT_GE(d[0].bytes.size(), text.size());
    EXPECT_EQ(inflateRaw(d[0].bytes), text);
}

TEST(PipelineRoundTrip, SameContentWhateverTheThreadCount) {
    std::vector<Bytes> contents = {textLike(3 * kMinPieceSize, 25), textLike(1000, 26),
                                   randomBytes(70000, 27)};
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        expectRoundTrip(contents, options(9, threads));
    }
}
