// read_faults_test.cpp - guards against a source that cannot be read whole being taken as archived: a
// file without read permission and a folder that cannot be listed (met by the unprivileged user; root
// reads everything), and a large file grown or removed while the archiver reads it. The change is
// timed by the archive's temporary file: a thread of the job's process makes it as soon as that file
// appears, or the sevenzip32 driver is stopped (SIGSTOP) at that moment, changed under, and resumed.
// Such an item must give "[NG]" (or, for a removed file, an archive holding exactly what the file
// held), keep whatever the source is now even with the delete box checked, leave no temporary file,
// and the sequence must go on.
#include <spawn.h>

#include <atomic>
#include <thread>

#include "fault_support.h"

namespace faults_test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kLargeSize = 48u << 20;

// The name of the archiver's temporary file in `folder`, once one appears (polled every millisecond);
// empty when none appeared within `timeoutMs`.
std::string WaitForTemporary(const std::string& folder, int timeoutMs,
                             const std::function<bool()>& giveUp = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : ListNames(folder)) {
            if (name.find(kTempMark) != std::string::npos) return name;
        }
        if (giveUp && giveUp()) break;
        ::usleep(1000);
    }
    return {};
}

void Append(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << bytes;
}

// In the job's own process: runs `change` once the archive's temporary file appears in `folder`,
// from a thread started when the window is disabled for the archiver call and joined when it is
// enabled again. Only the first archiver call is watched.
void ChangeWhenTemporaryAppears(RecordingWindow& window, const std::string& folder,
                                std::function<void()> change) {
    auto watcher = std::make_shared<std::thread>();
    auto seen = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    window.onSetEnabled = [=](bool enabled) {
        if (!enabled && !watcher->joinable() && !*done) {
            *watcher = std::thread([=] {
                if (!WaitForTemporary(folder, 60000, [&] { return done->load(); }).empty()) {
                    change();
                    *seen = true;
                }
            });
        } else if (enabled && watcher->joinable()) {
            *done = true;
            watcher->join();
            if (!*seen) ::_exit(4);  // the change was never made: the case proves nothing
        }
    };
}

TEST(ReadFaults, FileGrownWhileReadFailsAndStays) {
    TempDir dir;
    const std::string big = dir / "big.txt";
    const std::string text = LargeText(kLargeSize);
    WriteFile(big, text);
    WriteFile(dir / "next.txt", "the next item\n");
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            ChangeWhenTemporaryAppears(window, dir.path(), [&] { Append(big, "grown\n"); });
            mMain::CompressFile(window, kDefaultPrefix, big, dir.path());
            window.onSetEnabled = nullptr;
            mMain::CompressFile(window, kDefaultPrefix, dir / "next.txt", dir.path());
        },
        1, 150);
    ASSERT_EQ(run.exitCode, 0) << (run.exitCode == 4 ? "no temporary file appeared" : "");
    ASSERT_TRUE(Finished(run));
    const std::vector<std::string> expected{"[OK]" + (dir / "next.zip"), "[NG]" + big};
    EXPECT_EQ(run.lines, expected);
    EXPECT_EQ(ReadFile(big), text + "grown\n");
    EXPECT_FALSE(Exists(dir / "big.zip"));
    EXPECT_EQ(Temporaries(Capture(dir.path())), std::vector<std::string>{});
}

TEST(ReadFaults, FileGrownInsideAWholeFolderKeepsTheTree) {
    TempDir dir;
    const std::string tree = dir / "tree";
    const std::string text = LargeText(kLargeSize);
    WriteFile(tree + "/big.txt", text);
    WriteFile(tree + "/sub/small.txt", "small\n");
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            ChangeWhenTemporaryAppears(window, dir.path(), [&] { Append(tree + "/big.txt", "grown\n"); });
            mMain::CompressFolder(window, kDefaultPrefix, tree);
        },
        1, 150);
    ASSERT_EQ(run.exitCode, 0) << (run.exitCode == 4 ? "no temporary file appeared" : "");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.lines, std::vector<std::string>{"[NG]" + tree + "/"});
    EXPECT_EQ(ReadFile(tree + "/big.txt"), text + "grown\n");
    EXPECT_EQ(ReadFile(tree + "/sub/small.txt"), "small\n");
    EXPECT_FALSE(Exists(dir / "tree.zip"));
    EXPECT_EQ(Temporaries(Capture(dir.path())), std::vector<std::string>{});
}

// The driver, started on `command`, stopped as soon as the temporary file appears in `folder`; runs
// `change` while it is stopped, resumes it and returns its exit code (-1 when it did not exit).
int DriverChangedMidway(const std::string& command, const std::string& folder,
                        const std::function<void()>& change) {
    pid_t pid = 0;
    std::vector<char*> argv{const_cast<char*>(PAKUTO_TEST_DRIVER), const_cast<char*>(command.c_str()),
                            nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&pid, PAKUTO_TEST_DRIVER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    const bool appeared =
        !WaitForTemporary(folder, 60000, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; }).empty();
    if (appeared) {
        ::kill(pid, SIGSTOP);
        change();
        ::kill(pid, SIGCONT);
    }
    ::waitpid(pid, &status, 0);
    if (!appeared) ADD_FAILURE() << "the driver ended before its temporary file was seen";
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FileCommandText(const std::string& folder, const std::string& name) {
    return kDefaultPrefix + " \"" + folder + "/out.zip\" \"" + folder + "/\" \"" + name + "\"";
}

TEST(ReadFaults, DriverStoppedWhileFileGrowsFails) {
    TempDir dir;
    const std::string text = LargeText(kLargeSize);
    WriteFile(dir / "big.txt", text);
    const int code = DriverChangedMidway(FileCommandText(dir.path(), "big.txt"), dir.path(), [&] {
        EXPECT_FALSE(Exists(dir / "out.zip")) << "the archive was already complete: nothing was tested";
        Append(dir / "big.txt", "grown while stopped\n");
    });
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(Exists(dir / "out.zip"));
    EXPECT_EQ(ReadFile(dir / "big.txt"), text + "grown while stopped\n");
    EXPECT_EQ(Temporaries(Capture(dir.path())), std::vector<std::string>{});
}

TEST(ReadFaults, DriverStoppedWhileFileIsRemovedFailsOrKeepsItWhole) {
    TempDir dir;
    const std::string text = LargeText(kLargeSize);
    WriteFile(dir / "big.txt", text);
    TempDir original;  // what the file held, to compare the archive with once it is gone
    WriteFile(original / "big.txt", text);
    const int code = DriverChangedMidway(FileCommandText(dir.path(), "big.txt"), dir.path(), [&] {
        EXPECT_FALSE(Exists(dir / "out.zip")) << "the archive was already complete: nothing was tested";
        fs::remove(dir / "big.txt");
    });
    // Either outcome is sound: a failure with nothing written, or an archive that holds the file's
    // bytes exactly (read through a handle opened before the removal).
    if (code == 0) {
        EXPECT_TRUE(ArchiveHolds(dir / "out.zip", {"big.txt"}, "big.txt", original / "big.txt"));
    } else {
        EXPECT_EQ(code, 1);
        EXPECT_FALSE(Exists(dir / "out.zip"));
    }
    RecordProperty("outcome", code == 0 ? "archived whole" : "failed");
    EXPECT_EQ(Temporaries(Capture(dir.path())), std::vector<std::string>{});
}

TEST(ReadFaults, RemovedWhileReadInAJobSequence) {
    TempDir dir;
    const std::string text = LargeText(kLargeSize);
    WriteFile(dir / "big.txt", text);
    TempDir original;  // what the file held, to compare the archive with once it is gone
    WriteFile(original / "big.txt", text);
    WriteFile(dir / "next.txt", "the next item\n");
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            ChangeWhenTemporaryAppears(window, dir.path(), [&] { fs::remove(dir / "big.txt"); });
            mMain::CompressFile(window, kDefaultPrefix, dir / "big.txt", dir.path());
            window.onSetEnabled = nullptr;
            mMain::CompressFile(window, kDefaultPrefix, dir / "next.txt", dir.path());
        },
        1, 150);
    ASSERT_EQ(run.exitCode, 0) << (run.exitCode == 4 ? "no temporary file appeared" : "");
    ASSERT_TRUE(Finished(run));
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0], "[OK]" + (dir / "next.zip"));
    if (run.lines[1] == "[OK]" + (dir / "big.zip"))
        EXPECT_TRUE(ArchiveHolds(dir / "big.zip", {"big.txt"}, "big.txt", original / "big.txt"));
    else
        EXPECT_EQ(run.lines[1], "[NG]" + (dir / "big.txt"));
    EXPECT_EQ(Temporaries(Capture(dir.path())), std::vector<std::string>{});
}

TEST(ReadFaults, UnreadableSourcesForAnOrdinaryUser) {
    TempDir dir;
    OpenToOthers(dir.path());
    const std::string src = dir / "src";
    WriteFile(src + "/secret.txt", "no one may read this\n");
    WriteFile(src + "/docs/hidden-away.txt", "nor this\n");
    WriteFile(src + "/docs/open.txt", "open\n");
    WriteFile(src + "/plain.txt", "plain\n");
    fs::permissions(src + "/secret.txt", fs::perms(0200));
    fs::permissions(src + "/docs/hidden-away.txt", fs::perms(0));
    // The user owns the folders, so it could delete any of these files: only the archive's success
    // may let it.
    for (const std::string& folder : {src, src + "/docs"})
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    for (const std::string& file :
         {src + "/secret.txt", src + "/docs/hidden-away.txt", src + "/docs/open.txt", src + "/plain.txt"})
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    const TreeState before = Capture(dir.path());
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressFile(window, kDefaultPrefix, src + "/secret.txt", src);
            mMain::CompressFolder(window, kDefaultPrefix, src + "/docs");
            mMain::CompressEachFile(window, kDefaultPrefix, src + "/docs", src);
            mMain::CompressFile(window, kDefaultPrefix, src + "/plain.txt", src);
        },
        1, 60, true);
    if (run.exitCode == kCannotDropPrivileges) GTEST_SKIP() << "cannot drop privileges to uid 65534";
    ASSERT_TRUE(Finished(run));
    const std::vector<std::string> expected{"[OK]" + src + "/plain.zip", "[OK]" + src + "/open.zip",
                                            "[NG]" + src + "/docs/hidden-away.txt", "[NG]" + src + "/docs/",
                                            "[NG]" + src + "/secret.txt"};
    EXPECT_EQ(run.lines, expected);
    const TreeState after = Capture(dir.path());
    ExpectNothingLost(dir.path(), before, after, run.lines);
    EXPECT_EQ(after.count("src/secret.txt"), 1u);
    EXPECT_EQ(after.count("src/docs/hidden-away.txt"), 1u);
    EXPECT_EQ(after.count("src/plain.txt"), 0u) << "an archived file was to be deleted";
}

// A folder of a per-file walk that cannot be listed hides its files: the walk must say so with an
// "[NG]" line for that folder instead of passing over them as if the tree were done.
TEST(ReadFaults, UnlistableFolderInAPerFileWalkIsReported) {
    TempDir dir;
    OpenToOthers(dir.path());
    const std::string tree = dir / "tree";
    WriteFile(tree + "/ok.txt", "ok\n");
    WriteFile(tree + "/locked/inner.txt", "inside a folder no one may list\n");
    fs::permissions(tree + "/locked", fs::perms(0311));
    fs::create_directory(dir / "out");
    ASSERT_EQ(::chown((dir / "out").c_str(), 65534, 65534), 0);
    const TreeState before = Capture(dir.path());
    const ChildResult run = RunJobsInChild(
        [&](RecordingWindow& window) {
            mMain::CompressEachFile(window, kDefaultPrefix, tree + "/locked", dir / "out");
            mMain::CompressEachFile(window, kDefaultPrefix, tree, dir / "out");
        },
        0, 60, true);
    if (run.exitCode == kCannotDropPrivileges) GTEST_SKIP() << "cannot drop privileges to uid 65534";
    ASSERT_TRUE(Finished(run));
    const std::vector<std::string> expected{"[OK]" + (dir / "out/ok.zip"), "[NG]" + tree + "/locked/",
                                            "[NG]" + tree + "/locked/"};
    EXPECT_EQ(run.lines, expected);
    ExpectNothingLost(dir.path(), before, Capture(dir.path()), run.lines);
}

}  // namespace
}  // namespace faults_test
