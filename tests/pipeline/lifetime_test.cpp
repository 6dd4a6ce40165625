// lifetime_test.cpp - guards against leaked or hung worker threads and unbounded reading ahead: the
// pipeline must join every worker when destroyed at any point (the writer stops at the first error),
// must answer a misplaced next() with an error instead of blocking, and must keep only a bounded
// number of files open and a bounded amount of memory however much is queued.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "pipeline_limits.h"
#include "pipeline_test_support.h"

using namespace pipeline_test;
using sevenzip::detail::kMinPieceSize;

namespace {

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    throw std::runtime_error("no thread count in /proc/self/status");
}

// The thread count to compare against: a sanitizer runtime may start a helper thread of its own when
// the first thread is created, so one thread is started and joined before counting.
int baselineThreads() {
    std::thread([] {}).join();
    return threadCount();
}

// Files of this process's descriptors that lie under `folder`.
size_t openFilesUnder(const std::string& folder) {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (!ec && target.string().rfind(folder, 0) == 0) ++n;
    }
    return n;
}

sevenzip::CompressionOptions withThreads(unsigned threads) {
    sevenzip::CompressionOptions o;
    o.level = 9;
    o.threads = threads;
    return o;
}

std::vector<sevenzip::SourceFile> makeFiles(const TempDir& dir, size_t count, size_t size) {
    std::vector<sevenzip::SourceFile> files;
    Bytes content = textLike(size, 1);
    for (size_t i = 0; i < count; ++i) {
        std::string path = dir.file("f" + std::to_string(i));
        writeFile(path, content);
        files.push_back(listFile(path));
    }
    return files;
}

}  // namespace

TEST(PipelineLifetime, DestroyedBeforeAnyFile) {
    int before = baselineThreads();
    { sevenzip::DeflatePipeline pipeline(withThreads(4)); }
    EXPECT_EQ(threadCount(), before);
}

TEST(PipelineLifetime, OnePieceOfWorkStartsNoThread) {
    // One archiver call per small file is the tool's most frequent case: no thread to start and join.
    TempDir dir;
    auto files = makeFiles(dir, 1, 30000);
    int before = baselineThreads();
    sevenzip::DeflatePipeline pipeline(withThreads(4));
    pipeline.add(files[0]);
    EXPECT_EQ(threadCount(), before);
    sevenzip::Piece p = pipeline.next();
    EXPECT_EQ(p.error, 0) << p.message;
    EXPECT_TRUE(p.last);
    EXPECT_EQ(p.rawSize, 30000u);
}

TEST(PipelineLifetime, DestroyedWithFilesPendingJoinsEveryWorker) {
    TempDir dir;
    auto files = makeFiles(dir, 12, 2 * kMinPieceSize + 100);
    int before = baselineThreads();
    {
        sevenzip::DeflatePipeline pipeline(withThreads(4));
        for (const auto& f : files) pipeline.add(f);
        EXPECT_GT(threadCount(), before);
        sevenzip::Piece first = pipeline.next();
        EXPECT_EQ(first.error, 0) << first.message;
        EXPECT_FALSE(first.last);
    }
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(openFilesUnder(dir.file("")), 0u);
}

TEST(PipelineLifetime, DestroyedWithoutEverCallingNext) {
    TempDir dir;
    auto files = makeFiles(dir, 30, 50000);
    int before = baselineThreads();
    {
        sevenzip::DeflatePipeline pipeline(withThreads(3));
        for (const auto& f : files) pipeline.add(f);
    }
    EXPECT_EQ(threadCount(), before);
}

TEST(PipelineLifetime, DestroyedAfterAnErrorWithLaterFilesInFlight) {
    TempDir dir;
    auto files = makeFiles(dir, 20, kMinPieceSize + 100);
    std::filesystem::remove(files[1].path);
    int before = baselineThreads();
    {
        sevenzip::DeflatePipeline pipeline(withThreads(2));
        for (const auto& f : files) pipeline.add(f);
        sevenzip::Piece p;
        do p = pipeline.next();
        while (!p.last);
        EXPECT_EQ(p.error, 0);
        p = pipeline.next();
        EXPECT_EQ(p.error, ENOENT);
        EXPECT_TRUE(p.last);
    }
    EXPECT_EQ(threadCount(), before);
}

TEST(PipelineLifetime, NextWithNothingPendingIsAnErrorNotABlock) {
    TempDir dir;
    auto files = makeFiles(dir, 1, 1000);
    sevenzip::DeflatePipeline pipeline(withThreads(2));
    EXPECT_NE(pipeline.next().error, 0);
    pipeline.add(files[0]);
    sevenzip::Piece p = pipeline.next();
    EXPECT_EQ(p.error, 0);
    EXPECT_TRUE(p.last);
    sevenzip::Piece extra = pipeline.next();
    EXPECT_NE(extra.error, 0);
    EXPECT_TRUE(extra.last);
}

TEST(PipelinePiecePlan, PiecesCoverTheFileWithinTheSizeBounds) {
    using sevenzip::detail::kMaxPieceSize;
    const uint64_t sizes[] = {0,
                              1,
                              5,
                              kMinPieceSize - 1,
                              kMinPieceSize,
                              2 * kMinPieceSize + 1,
                              kMaxPieceSize,
                              kMaxPieceSize + 1,
                              9245840,
                              uint64_t{3} << 30,
                              (uint64_t{5} << 30) + 7};
    for (unsigned workers : {1u, 2u, 3u, 16u}) {
        for (uint64_t size : sizes) {
            SCOPED_TRACE("size " + std::to_string(size) + " workers " + std::to_string(workers));
            auto plan = sevenzip::detail::planPieces(size, workers);
            ASSERT_GE(plan.count, 1u);
            EXPECT_GE(plan.count * plan.pieceSize, size);                      // covers every byte
            EXPECT_LT((plan.count - 1) * plan.pieceSize, size + (size == 0));  // no empty last piece
            EXPECT_LE(plan.pieceSize, kMaxPieceSize);                          // memory stays bounded
            if (plan.count > 1) {
                EXPECT_GE(plan.pieceSize, kMinPieceSize);  // no cut costs more than it wins
            }
            if (size >= workers * kMinPieceSize) {
                EXPECT_GE(plan.count, workers);  // every core gets work
            }
        }
    }
}

TEST(PipelineLifetime, ReadingAheadIsBounded) {
    TempDir dir;
    auto files = makeFiles(dir, 300, 20000);
    const unsigned threads = 2;
    sevenzip::DeflatePipeline pipeline(withThreads(threads));
    for (const auto& f : files) pipeline.add(f);
    // The writer is slow: give the workers every chance to run ahead, then count what they hold open.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(openFilesUnder(dir.file("")), threads);
    for (size_t i = 0; i < files.size(); ++i) {
        sevenzip::Piece p = pipeline.next();
        ASSERT_EQ(p.error, 0) << p.message;
        ASSERT_TRUE(p.last);
    }
    EXPECT_EQ(openFilesUnder(dir.file("")), 0u);
}

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    throw std::runtime_error("no VmRSS in /proc/self/status");
}

// Processor time used by every thread of this process except the calling one, in microseconds.
long othersCpuMicros() {
    timespec process{}, self{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &process);
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &self);
    return (process.tv_sec - self.tv_sec) * 1000000L + (process.tv_nsec - self.tv_nsec) / 1000;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

TEST(PipelineLifetime, ReadAheadMemoryIsBounded) {
    if (!kMemoryIsMeasurable)
        GTEST_SKIP()
            << "under a sanitizer, resident memory counts its shadow memory and freed-block quarantine";
    // A writer that takes nothing yet must not let the workers read (and hold) a whole large file.
    TempDir dir;
    const size_t size = size_t{128} << 20;
    writeFile(dir.file("big"), randomBytes(size, 42));  // does not compress: pieces stay large
    auto listed = listFile(dir.file("big"));
    const long limitKiB = 90 * 1024;

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long base = residentKiB(), peak = 0;
        sevenzip::CompressionOptions o;
        o.level = 1;
        o.threads = 2;
        sevenzip::DeflatePipeline pipeline(o);
        pipeline.add(listed);
        // Let the workers run ahead as far as they may: until they stop using the processor (blocked
        // by the bound), or memory passes the limit, or half a minute has passed.
        long lastCpu = othersCpuMicros();
        for (int idle = 0, i = 0; idle < 30 && peak <= limitKiB && i < 3000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            peak = std::max(peak, residentKiB() - base);
            long cpu = othersCpuMicros();
            idle = cpu == lastCpu ? idle + 1 : 0;
            lastCpu = cpu;
        }
        uint64_t total = 0;
        for (;;) {
            sevenzip::Piece p = pipeline.next();
            if (p.error != 0) ::_exit(3);
            peak = std::max(peak, residentKiB() - base);
            total += p.bytes.size();
            if (p.last) break;
        }
        ::_exit(total < size ? 2 : peak > limitKiB ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 3) << "the pipeline reported an error";
    EXPECT_NE(WEXITSTATUS(status), 2) << "fewer bytes delivered than the file holds";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "resident memory grew past " << limitKiB / 1024 << " MiB";
}
