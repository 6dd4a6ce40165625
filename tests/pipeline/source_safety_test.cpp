// source_safety_test.cpp - guards the promise that 0 from the archiver means every file was stored
// exactly: a file that is not the regular file that was listed, cannot be read, or changes before or
// while it is read must come back as an error on that file, never as content, and a FIFO must never
// be read or block the pipeline.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "pipeline_limits.h"
#include "pipeline_test_support.h"
#include "source_reader.h"

using namespace pipeline_test;
using sevenzip::detail::kMinPieceSize;

namespace {

sevenzip::CompressionOptions defaults() {
    sevenzip::CompressionOptions o;
    o.level = 9;
    return o;
}

// Runs the pipeline over one listed file and returns what the writer got for it.
Delivered deliverOne(const sevenzip::SourceFile& file) {
    auto d = runPipeline({file}, defaults());
    if (d.size() != 1) throw std::runtime_error("expected one delivered file");
    return d[0];
}

void setMtime(const std::string& path, time_t sec, long nsec) {
    timespec times[2] = {{0, UTIME_OMIT}, {sec, nsec}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("utimensat failed");
}

}  // namespace

TEST(PipelineSourceSafety, FifoIsRefusedWithoutBlocking) {
    TempDir dir;
    std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // No writer ever opens the FIFO: a blocking open or read would hang here.
    Delivered d = deliverOne(listFile(fifo));
    EXPECT_EQ(d.error, EINVAL) << d.message;
    EXPECT_NE(d.message.find(fifo), std::string::npos);
    EXPECT_TRUE(d.bytes.empty());
}

TEST(PipelineSourceSafety, RegularFileSwappedForFifoIsRefused) {
    TempDir dir;
    std::string path = dir.file("f");
    writeFile(path, textLike(1000, 1));
    auto listed = listFile(path);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    Delivered d = deliverOne(listed);
    EXPECT_NE(d.error, 0);
    EXPECT_TRUE(d.bytes.empty());
}

TEST(PipelineSourceSafety, FolderIsRefused) {
    TempDir dir;
    std::string sub = dir.file("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    Delivered d = deliverOne(listFile(sub));
    EXPECT_EQ(d.error, EINVAL) << d.message;
}

TEST(PipelineSourceSafety, SymbolicLinkIsNotFollowed) {
    TempDir dir;
    writeFile(dir.file("target"), textLike(5000, 2));
    ASSERT_EQ(::symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
    Delivered d = deliverOne(listFile(dir.file("link")));
    EXPECT_EQ(d.error, ELOOP) << d.message;
    EXPECT_TRUE(d.bytes.empty());
}

TEST(PipelineSourceSafety, FileRemovedAfterListing) {
    TempDir dir;
    writeFile(dir.file("gone"), textLike(5000, 3));
    auto listed = listFile(dir.file("gone"));
    std::filesystem::remove(dir.file("gone"));
    Delivered d = deliverOne(listed);
    EXPECT_EQ(d.error, ENOENT) << d.message;
}

TEST(PipelineSourceSafety, FileReplacedAfterListing) {
    TempDir dir;
    Bytes same = textLike(5000, 4);
    writeFile(dir.file("f"), same);
    auto listed = listFile(dir.file("f"));
    writeFile(dir.file("other"), same);
    std::filesystem::rename(dir.file("other"), dir.file("f"));
    setMtime(dir.file("f"), listed.identity.mtimeSec, listed.identity.mtimeNsec);  // same size and time, another inode
    Delivered d = deliverOne(listed);
    EXPECT_EQ(d.error, ESTALE) << d.message;
}

TEST(PipelineSourceSafety, FileGrownAfterListing) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(5000, 5));
    auto listed = listFile(dir.file("f"));
    appendFile(dir.file("f"), {'x'});
    setMtime(dir.file("f"), listed.identity.mtimeSec, listed.identity.mtimeNsec);
    Delivered d = deliverOne(listed);
    EXPECT_EQ(d.error, ESTALE) << d.message;
}

TEST(PipelineSourceSafety, FileTruncatedAfterListing) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(3 * kMinPieceSize, 6));
    auto listed = listFile(dir.file("f"));
    std::filesystem::resize_file(dir.file("f"), kMinPieceSize);
    Delivered d = deliverOne(listed);
    EXPECT_EQ(d.error, ESTALE) << d.message;
}

TEST(PipelineSourceSafety, FileTouchedAfterListing) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(5000, 7));
    auto listed = listFile(dir.file("f"));
    setMtime(dir.file("f"), listed.identity.mtimeSec + 1, listed.identity.mtimeNsec);
    Delivered d = deliverOne(listed);
    EXPECT_EQ(d.error, ESTALE) << d.message;
}

TEST(PipelineSourceSafety, UnreadableFileIsPermissionDenied) {
    TempDir dir;
    std::string path = dir.file("secret");
    writeFile(path, textLike(5000, 8));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    auto listed = listFile(path);
    if (::geteuid() != 0) {
        Delivered d = deliverOne(listed);
        EXPECT_EQ(d.error, EACCES) << d.message;
        return;
    }
    // Root reads everything: check as an unprivileged user in a child process instead.
    std::filesystem::permissions(std::filesystem::path(path).parent_path(), std::filesystem::perms(0755));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        auto d = runPipeline({listed}, defaults());
        ::_exit(d.size() == 1 ? d[0].error : 101);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot drop privileges to uid 65534 to test as non-root";
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

TEST(PipelineSourceSafety, ErrorEndsThatFileAfterEarlierFilesCameThroughWhole) {
    TempDir dir;
    Bytes first = textLike(20000, 9);
    writeFile(dir.file("a"), first);
    writeFile(dir.file("b"), textLike(2 * kMinPieceSize, 10));
    writeFile(dir.file("c"), textLike(20000, 11));
    std::vector<sevenzip::SourceFile> files = {listFile(dir.file("a")), listFile(dir.file("b")),
                                               listFile(dir.file("c"))};
    std::filesystem::remove(dir.file("b"));
    auto d = runPipeline(files, defaults());
    ASSERT_EQ(d.size(), 2u);
    ASSERT_EQ(d[0].error, 0);
    EXPECT_EQ(contentOf(d[0]), first);
    EXPECT_EQ(d[1].error, ENOENT);
    EXPECT_EQ(d[1].pieces, 1u);
}

// The same checks at the level of single reads, where the change can be made between two steps.

TEST(PipelineSourceReader, ShrinkWhileReadingIsDetected) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(10000, 12));
    auto listed = listFile(dir.file("f"));
    sevenzip::io::Fd fd;
    ASSERT_TRUE(sevenzip::detail::openSource(listed, fd));
    std::filesystem::resize_file(dir.file("f"), 6000);
    Bytes buffer(5000);
    EXPECT_TRUE(sevenzip::detail::readExactly(listed, fd.get(), 0, 5000, buffer.data()));
    auto tail = sevenzip::detail::readExactly(listed, fd.get(), 5000, 5000, buffer.data());
    EXPECT_EQ(tail.error, ESTALE) << tail.message;
}

TEST(PipelineSourceReader, GrowthAfterTheLastReadIsDetected) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(10000, 13));
    auto listed = listFile(dir.file("f"));
    sevenzip::io::Fd fd;
    ASSERT_TRUE(sevenzip::detail::openSource(listed, fd));
    Bytes buffer(10000);
    ASSERT_TRUE(sevenzip::detail::readExactly(listed, fd.get(), 0, 10000, buffer.data()));
    EXPECT_TRUE(sevenzip::detail::checkUnchanged(listed, fd.get()));
    appendFile(dir.file("f"), {'y'});
    EXPECT_EQ(sevenzip::detail::checkUnchanged(listed, fd.get()).error, ESTALE);
}

TEST(PipelineSourceReader, ModificationWhileReadingIsDetected) {
    TempDir dir;
    writeFile(dir.file("f"), textLike(10000, 14));
    auto listed = listFile(dir.file("f"));
    sevenzip::io::Fd fd;
    ASSERT_TRUE(sevenzip::detail::openSource(listed, fd));
    Bytes buffer(10000);
    ASSERT_TRUE(sevenzip::detail::readExactly(listed, fd.get(), 0, 10000, buffer.data()));
    // Rewriting a byte in place keeps the size but moves the modification time.
    setMtime(dir.file("f"), listed.identity.mtimeSec - 10, 0);
    EXPECT_EQ(sevenzip::detail::checkUnchanged(listed, fd.get()).error, ESTALE);
}
