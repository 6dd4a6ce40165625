// tree_hazards_test.cpp - guards the jobs against dropped trees that could trap, block or overwhelm
// them: symbolic link loops (to the folder itself, to its parent, to the link itself), a link out of
// the tree, a FIFO (never opened: a watcher would see a reader) and a socket, all in one tree under
// the delete box, in whole-folder and per-file mode; a tree 200 folders deep; 10,000 files in one
// folder (in per-file mode that takes over a minute here, so its suite SlowManyFiles is labelled
// slow). Each run ends within its time limit, archives are checked by independent readers, only what
// an archive holds is deleted, and nothing else changes.
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <thread>

#include "fault_support.h"

namespace faults_test {
namespace {

namespace fs = std::filesystem;

// A unix socket bound at `path`; the socket file stays after the descriptor is closed.
bool MakeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Watches a FIFO while a job runs: a writer's non-blocking open succeeds only while some reader has
// the FIFO open, so any success means the job opened it.
class FifoWatch {
public:
    explicit FifoWatch(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            while (!stop_) {
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    opened_ = true;
                    ::close(fd);
                }
                ::usleep(500);
            }
        });
    }
    ~FifoWatch() { Stop(); }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    bool Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return opened_;
    }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread thread_;
};

class TreeHazards : public ::testing::Test {
protected:
    // tree/ with two files, three link loops, a link out of the tree, a FIFO and a socket.
    void SetUp() override {
        WriteFile(tree + "/a.txt", "alpha\n");
        WriteFile(tree + "/sub/b.txt", "beta\n");
        WriteFile(dir / "outside.txt", "outside the tree\n");
        fs::create_directory_symlink(".", tree + "/loop");
        fs::create_directory_symlink("..", tree + "/sub/back");
        fs::create_symlink("self", tree + "/self");
        fs::create_symlink("../outside.txt", tree + "/out");
        ASSERT_EQ(::mkfifo((tree + "/fifo").c_str(), 0644), 0);
        ASSERT_TRUE(MakeSocket(tree + "/sock"));
    }

    // Runs `jobs` with the delete box checked, watching the FIFO; checks the invariants and returns
    // the result lines.
    std::vector<std::string> RunWatched(const std::function<void(RecordingWindow&)>& jobs) {
        const TreeState before = Capture(dir.path());
        FifoWatch watch(tree + "/fifo");
        const ChildResult run = RunJobsInChild(jobs, 1, 60);
        EXPECT_FALSE(watch.Stop()) << "the FIFO was opened";
        EXPECT_TRUE(Finished(run));
        const TreeState after = Capture(dir.path());
        ExpectNothingLost(dir.path(), before, after, run.lines);
        // Never deleted: the FIFO, the socket, and the file the outward link points at.
        for (const char* kept : {"tree/fifo", "tree/sock", "outside.txt"})
            EXPECT_EQ(after.count(kept), 1u) << kept;
        return run.lines;
    }

    TempDir dir;
    std::string tree = dir / "tree";
};

TEST_F(TreeHazards, WholeFolderStoresLinksAsLinksAndSkipsFifoAndSocket) {
    const std::vector<std::string> lines =
        RunWatched([&](RecordingWindow& window) { mMain::CompressFolder(window, kDefaultPrefix, tree); });
    ASSERT_EQ(lines, std::vector<std::string>{"[OK]" + (dir / "tree.zip")});
    const std::map<std::string, ZipEntry> entries = ReadZip(dir / "tree.zip");
    std::vector<std::string> names;
    for (const auto& [name, entry] : entries) names.push_back(name);
    const std::vector<std::string> expected{"a.txt", "loop", "out", "self", "sub/", "sub/b.txt", "sub/back"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(entries.at("loop").isLink());
    EXPECT_EQ(entries.at("sub/back").content, "..");
    EXPECT_EQ(entries.at("out").content, "../outside.txt");
}

TEST_F(TreeHazards, PerFileModeEndsAndLeavesFifoAndSocketAlone) {
    const std::vector<std::string> lines = RunWatched(
        [&](RecordingWindow& window) { mMain::CompressEachFile(window, kDefaultPrefix, tree, dir.path()); });
    // Subfolders first (links are never entered), then the folder's files and links in name order.
    const std::vector<std::string> expected{"[OK]" + (dir / "self.zip"), "[OK]" + (dir / "out.zip"),
                                            "[OK]" + (dir / "loop.zip"), "[OK]" + (dir / "a.zip"),
                                            "[OK]" + (dir / "back.zip"), "[OK]" + (dir / "b.zip")};
    EXPECT_EQ(lines, expected);
}

TEST(TreeDepth, TwoHundredFoldersDeepInBothModes) {
    TempDir dir;
    std::string rel;
    for (int level = 0; level < 200; ++level) rel += "level" + std::to_string(level) + "/";
    const std::string deepest = dir / ("tree/" + rel + "bottom.txt");
    WriteFile(deepest, "at the bottom\n");
    WriteFile(dir / "tree/top.txt", "at the top\n");

    const ChildResult perFile = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressEachFile(window, kDefaultPrefix, dir / "tree", dir.path());
        },
        0, 60);
    ASSERT_TRUE(Finished(perFile));
    const std::vector<std::string> perFileLines{"[OK]" + (dir / "top.zip"), "[OK]" + (dir / "bottom.zip")};
    EXPECT_EQ(perFile.lines, perFileLines);
    EXPECT_EQ(ReadZip(dir / "bottom.zip").at("bottom.txt").content, "at the bottom\n");

    const TreeState before = Capture(dir.path());
    const ChildResult whole = RunJobsInChild(
        [&](RecordingWindow& window) { mMain::CompressFolder(window, kDefaultPrefix, dir / "tree"); }, 1, 60);
    ASSERT_TRUE(Finished(whole));
    ASSERT_EQ(whole.lines, std::vector<std::string>{"[OK]" + (dir / "tree.zip")});
    const TreeState after = Capture(dir.path());
    ExpectNothingLost(dir.path(), before, after, whole.lines);
    EXPECT_EQ(ReadZip(dir / "tree.zip").at(rel + "bottom.txt").content, "at the bottom\n");
    EXPECT_FALSE(Exists(dir / "tree")) << "the archived tree was to be deleted whole";
}

// Every file of `folder` has an archive "<stem>.zip" in `archives` holding only that file, byte for
// byte: one Python run checks them all, and unzip -t tests every archive.
::testing::AssertionResult EachFileArchived(const std::string& folder, const std::string& archives) {
    static const char* script = R"PY(
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
bad = []
for name in os.listdir(src):
    with open(os.path.join(src, name), 'rb') as f:
        data = f.read()
    with zipfile.ZipFile(os.path.join(out, name.rsplit('.', 1)[0] + '.zip')) as z:
        if z.testzip() is not None or z.namelist() != [name] or z.read(name) != data:
            bad.append(name)
print(len(bad), *bad[:5])
sys.exit(1 if bad else 0)
)PY";
    const ProgramResult run = RunProgram({PAKUTO_TEST_PYTHON, "-c", script, folder, archives});
    if (run.exitCode != 0) return ::testing::AssertionFailure() << "not archived exactly: " << run.out;
    if (RunProgram({PAKUTO_TEST_UNZIP, "-tqq", archives + "/*.zip"}).exitCode != 0)
        return ::testing::AssertionFailure() << "unzip -t refuses an archive in " << archives;
    return ::testing::AssertionSuccess();
}

constexpr int kManyFiles = 10000;

void MakeManyFiles(const std::string& folder) {
    for (int i = 0; i < kManyFiles; ++i)
        WriteFile(folder + "/f" + std::to_string(i) + ".txt", "file " + std::to_string(i) + "\n");
}

TEST(ManyFiles, TenThousandInOneFolderAsAWholeFolder) {
    TempDir dir;
    MakeManyFiles(dir / "many");
    const TreeState before = Capture(dir.path());
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) { mMain::CompressFolder(window, kDefaultPrefix, dir / "many"); }, 1,
        120);
    ASSERT_TRUE(Finished(run));
    ASSERT_EQ(run.lines, std::vector<std::string>{"[OK]" + (dir / "many.zip")});
    const std::map<std::string, ZipEntry> entries = ReadZip(dir / "many.zip");
    EXPECT_EQ(entries.size(), size_t{kManyFiles});
    EXPECT_EQ(entries.at("f9999.txt").content, "file 9999\n");
    ExpectNothingLost(dir.path(), before, Capture(dir.path()), run.lines);
    EXPECT_FALSE(Exists(dir / "many"));
}

TEST(SlowManyFiles, TenThousandInOneFolderFileByFile) {
    TempDir dir;
    MakeManyFiles(dir / "many");
    fs::create_directory(dir / "out");
    const TreeState sources = Capture(dir / "many");
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressEachFile(window, kDefaultPrefix, dir / "many", dir / "out");
        },
        0, 150);
    ASSERT_TRUE(Finished(run));
    ASSERT_EQ(run.lines.size(), size_t{kManyFiles});
    for (const std::string& line : run.lines) ASSERT_EQ(line.rfind("[OK]", 0), 0u) << line;
    EXPECT_TRUE(Capture(dir / "many") == sources);
    EXPECT_EQ(ListNames(dir / "out").size(), size_t{kManyFiles});
    EXPECT_TRUE(EachFileArchived(dir / "many", dir / "out"));
}

}  // namespace
}  // namespace faults_test
