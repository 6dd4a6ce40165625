// write_faults_test.cpp - guards job sequences against places where an archive cannot be written: a
// full disk (a 2 MiB file system made for the test, or a file-size limit in the child where mounting
// is not permitted) and a read-only target folder (a read-only mount, and a 0555 folder for the
// unprivileged user). Each failing item gives an "[NG]" line, keeps its source even with the delete
// box checked, leaves no partial or temporary file, and the sequence goes on to archive the next item.
#include <sys/mount.h>
#include <sys/resource.h>

#include <fstream>
#include <random>

#include "fault_support.h"

namespace faults_test {
namespace {

namespace fs = std::filesystem;

// Bytes that no encoder can shrink, so an archive needs as much room as its source.
std::string Noise(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    return bytes;
}

// A tmpfs of `size` mounted at `path`, unmounted when done. mounted() is false where the process may
// not mount (not root, or no permission in this container).
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& path, const std::string& options) : path_(path) {
        fs::create_directories(path);
        mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    bool Remount(unsigned long flags) {
        return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | flags, nullptr) == 0;
    }

private:
    std::string path_;
    bool mounted_ = false;
};

// Lays out what the full-disk sequence works on under `root`: two sources too large for the room
// left (a file and a folder) and one small file that fits.
void MakeFullDiskSources(const std::string& root) {
    WriteFile(root + "/big.bin", Noise(1200 << 10, 1));
    WriteFile(root + "/docs/part.bin", Noise(600 << 10, 2));
    WriteFile(root + "/docs/note.txt", "a note\n");
    WriteFile(root + "/small.txt", "small enough to fit\n");
}

// The sequence with the delete box checked: the large file, the folder, then the small file. When
// `fileSizeLimit` is non-zero the child may write no file larger than that (writes beyond fail with
// EFBIG, as on a full disk).
void RunFullDiskSequence(const std::string& root, rlim_t fileSizeLimit) {
    const TreeState before = Capture(root);
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            if (fileSizeLimit != 0) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
            }
            mMain::CompressFile(window, kDefaultPrefix, root + "/big.bin", root);
            mMain::CompressFolder(window, kDefaultPrefix, root + "/docs");
            mMain::CompressFile(window, kDefaultPrefix, root + "/small.txt", root);
        },
        1, 120);
    ASSERT_TRUE(Finished(run));
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[2], "[NG]" + root + "/big.bin");
    EXPECT_EQ(run.lines[1], "[NG]" + root + "/docs/");
    EXPECT_EQ(run.lines[0], "[OK]" + root + "/small.zip");
    const TreeState after = Capture(root);
    ExpectNothingLost(root, before, after, run.lines);
    EXPECT_EQ(after.count("small.txt"), 0u) << "the archived small file was to be deleted";
    EXPECT_EQ(ArchiveNames(root + "/small.zip"), std::vector<std::string>{"small.txt"});
}

TEST(WriteFaults, FullSmallFileSystem) {
    TempDir dir;
    SmallFileSystem small(dir / "small", "size=2m,mode=0755");
    if (!small.mounted()) {
        std::cout << "[ INFO     ] mounting a tmpfs is not permitted here: the full disk is a 512 KiB "
                     "file-size limit in the child instead\n";
        RecordProperty("mechanism", "RLIMIT_FSIZE");
        MakeFullDiskSources(dir.path());
        RunFullDiskSequence(dir.path(), 512 << 10);
        return;
    }
    std::cout << "[ INFO     ] the full disk is a 2 MiB tmpfs mounted for this test\n";
    RecordProperty("mechanism", "tmpfs size=2m");
    MakeFullDiskSources(dir / "small");
    RunFullDiskSequence(dir / "small", 0);
}

TEST(WriteFaults, FileSizeLimitInTheChild) {
    TempDir dir;
    MakeFullDiskSources(dir.path());
    RunFullDiskSequence(dir.path(), 512 << 10);
}

// Root writes into 0555 folders, so here the folder is on a file system mounted read-only.
TEST(WriteFaults, ReadOnlyMountedTargetFolder) {
    TempDir dir;
    SmallFileSystem ro(dir / "ro", "size=4m,mode=0755");
    if (!ro.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here (see the 0555 folder case)";
    const std::string root = dir / "ro";
    WriteFile(root + "/a.txt", "alpha\n");
    WriteFile(root + "/tree/b.txt", "beta\n");
    WriteFile(root + "/tree/sub/c.txt", "gamma\n");
    fs::create_directories(dir / "out");
    ASSERT_TRUE(ro.Remount(MS_RDONLY));
    const TreeState before = Capture(root);
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressFile(window, kDefaultPrefix, root + "/a.txt", root);
            mMain::CompressFolder(window, kDefaultPrefix, root + "/tree");
            mMain::CompressEachFile(window, kDefaultPrefix, root + "/tree", root);
            mMain::CompressFile(window, kDefaultPrefix, root + "/a.txt", dir / "out");
        },
        1, 60);
    ASSERT_TRUE(ro.Remount(0));
    ASSERT_TRUE(Finished(run));
    const std::vector<std::string> expected{"[OK]" + (dir / "out/a.zip"), "[NG]" + root + "/tree/b.txt",
                                            "[NG]" + root + "/tree/sub/c.txt", "[NG]" + root + "/tree/",
                                            "[NG]" + root + "/a.txt"};
    EXPECT_EQ(run.lines, expected);
    ExpectNothingLost(root, before, Capture(root), run.lines);
    EXPECT_EQ(ReadZip(dir / "out/a.zip").at("a.txt").content, "alpha\n");
}

// The unprivileged user meets a 0555 folder: nothing can be created there.
TEST(WriteFaults, ReadOnlyFolderForAnOrdinaryUser) {
    TempDir dir;
    OpenToOthers(dir.path());
    const std::string src = dir / "src";
    WriteFile(src + "/a.txt", "alpha\n");
    WriteFile(src + "/b.txt", "beta\n");
    fs::create_directories(dir / "ro");
    fs::permissions(dir / "ro", fs::perms(0555));
    fs::create_directories(dir / "out");
    ASSERT_EQ(::chown((dir / "out").c_str(), 65534, 65534), 0);
    const TreeState before = Capture(dir.path());
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressFile(window, kDefaultPrefix, src + "/a.txt", dir / "ro");
            mMain::CompressEachFile(window, kDefaultPrefix, src, dir / "ro");
            mMain::CompressFile(window, kDefaultPrefix, src + "/b.txt", dir / "out");
        },
        1, 60, true);
    if (run.exitCode == kCannotDropPrivileges) GTEST_SKIP() << "cannot drop privileges to uid 65534";
    ASSERT_TRUE(Finished(run));
    const std::vector<std::string> expected{"[OK]" + (dir / "out/b.zip"), "[NG]" + src + "/b.txt",
                                            "[NG]" + src + "/a.txt", "[NG]" + src + "/a.txt"};
    EXPECT_EQ(run.lines, expected);
    ExpectNothingLost(dir.path(), before, Capture(dir.path()), run.lines);
    EXPECT_TRUE(fs::is_empty(dir / "ro"));
}

}  // namespace
}  // namespace faults_test
