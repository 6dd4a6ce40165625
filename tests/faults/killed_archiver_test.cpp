// killed_archiver_test.cpp - guards against what a process killed outright (SIGKILL) in the middle of a
// large archive leaves behind: the sources must be intact, nothing may stand under the archive's name,
// and at most one temporary file may remain, hidden and marked as the archiver's. Later runs beside
// that leftover must not take it for an archive (the archive's own name stays free and is used) nor
// for a source: the per-file walk skips it, and a whole folder holding it is archived without it.
//
// The sevenzip32 driver is the killed process: it runs the library exactly as the tool does, in its
// own process. It is stopped the moment its temporary file appears (so the archive is certainly not
// finished), checked, and then killed.
#include <spawn.h>

#include "fault_support.h"

namespace faults_test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kLargeSize = 48u << 20;

std::vector<std::string> TemporariesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : ListNames(folder)) {
        if (name.find(kTempMark) != std::string::npos) found.push_back(name);
    }
    return found;
}

// Starts the driver on `command`, stops it when its temporary file appears in `folder`, checks that
// `archive` does not exist yet, and kills it. Returns the temporary file's name (empty when none was
// seen before the driver ended).
std::string KillDriverMidway(const std::string& command, const std::string& folder,
                             const std::string& archive) {
    pid_t pid = 0;
    std::vector<char*> argv{const_cast<char*>(PAKUTO_TEST_DRIVER), const_cast<char*>(command.c_str()),
                            nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&pid, PAKUTO_TEST_DRIVER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start the driver";
        return {};
    }
    int status = 0;
    std::string temporary;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (temporary.empty() && std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::string> found = TemporariesIn(folder);
        if (!found.empty()) {
            temporary = found.front();
            break;
        }
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ADD_FAILURE() << "the driver ended before its temporary file was seen";
            return {};
        }
        ::usleep(1000);
    }
    ::kill(pid, SIGSTOP);
    EXPECT_FALSE(Exists(archive)) << "the archive was already complete: nothing was tested";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return temporary;
}

// What a killed run may leave: one hidden file marked as a temporary file of `archiveName`.
void ExpectOnlyAMarkedLeftover(const std::string& folder, const std::string& archiveName,
                               const std::string& temporary) {
    EXPECT_FALSE(Exists(folder + "/" + archiveName)) << "something stands under the archive's name";
    const std::vector<std::string> left = TemporariesIn(folder);
    ASSERT_LE(left.size(), 1u);
    if (left.empty()) return;
    EXPECT_EQ(left.front(), temporary);
    EXPECT_EQ(left.front().rfind("." + archiveName + kTempMark, 0), 0u) << left.front();
}

TEST(KilledArchiver, FileFormLeavesTheSourceAndAtMostAMarkedTemporary) {
    TempDir dir;
    const std::string text = LargeText(kLargeSize);
    WriteFile(dir / "big.txt", text);
    const std::string command =
        kDefaultPrefix + " \"" + (dir / "big.zip") + "\" \"" + dir.path() + "/\" \"big.txt\"";
    const std::string temporary = KillDriverMidway(command, dir.path(), dir / "big.zip");
    ASSERT_FALSE(temporary.empty());
    EXPECT_EQ(ReadFile(dir / "big.txt"), text);
    ExpectOnlyAMarkedLeftover(dir.path(), "big.zip", temporary);

    // A later run: the archive gets its own name, not a numbered one, and the leftover stays as it was.
    const TreeState leftover = Capture(dir.path());
    RecordingWindow window;
    window.listWidthTwips = 400000;
    mSevenZip32APIs::SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER_LIBRARY);
    mMain::CompressFile(window, kDefaultPrefix, dir / "big.txt", dir.path());
    EXPECT_EQ(window.lines, std::vector<std::string>{"[OK]" + (dir / "big.zip")});
    EXPECT_TRUE(ArchiveHolds(dir / "big.zip", {"big.txt"}, "big.txt", dir / "big.txt"));
    const TreeState now = Capture(dir.path());
    for (const auto& [rel, item] : leftover) {
        ASSERT_EQ(now.count(rel), 1u) << rel;
        EXPECT_TRUE(now.at(rel) == item) << "changed: " << rel;
    }
}

TEST(KilledArchiver, FolderFormThenLaterRunsBesideTheLeftover) {
    TempDir dir;
    const std::string work = dir / "work";
    const std::string tree = work + "/tree";
    const std::string text = LargeText(kLargeSize);
    WriteFile(tree + "/big.txt", text);
    WriteFile(tree + "/sub/small.txt", "small\n");
    WriteFile(work + "/loose.txt", "loose\n");
    const TreeState treeBefore = Capture(tree);
    const std::string command =
        kDefaultPrefix + " \"" + work + "/tree.zip\" \"" + tree + "//\" \"*.*\" \"-ir!*.*\"";
    const std::string temporary = KillDriverMidway(command, work, work + "/tree.zip");
    ASSERT_FALSE(temporary.empty());
    EXPECT_TRUE(Capture(tree) == treeBefore) << "the killed run changed its sources";
    ExpectOnlyAMarkedLeftover(work, "tree.zip", temporary);
    ASSERT_TRUE(Exists(work + "/" + temporary)) << "the kill left no temporary file: nothing more to test";
    // The large file has served its purpose; the later runs need not spend seconds on it.
    fs::remove(tree + "/big.txt");

    mSevenZip32APIs::SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER_LIBRARY);
    RecordingWindow window;
    window.listWidthTwips = 400000;

    // Whole-folder mode on the tree: its archive takes the free name beside the leftover.
    mMain::CompressFolder(window, kDefaultPrefix, tree);
    ASSERT_EQ(window.lines.size(), 1u);
    EXPECT_EQ(window.lines[0], "[OK]" + work + "/tree.zip");

    // Per-file mode on the folder holding the leftover: never archived, never named in a line.
    window.lines.clear();
    mMain::CompressEachFile(window, kDefaultPrefix, work, dir.path());
    const std::vector<std::string> perFile{"[OK]" + (dir / "tree.zip"), "[OK]" + (dir / "loose.zip"),
                                           "[OK]" + (dir / "small.zip")};
    EXPECT_EQ(window.lines, perFile);

    // Whole-folder mode on the folder holding the leftover, with the delete box: the archive leaves
    // the leftover out, so the leftover is neither stored nor deleted.
    window.lines.clear();
    window.deleteState = 1;
    mMain::CompressFolder(window, kDefaultPrefix, work);
    ASSERT_EQ(window.lines, std::vector<std::string>{"[OK]" + (dir / "work.zip")});
    const std::vector<std::string> expected{"loose.txt", "tree.zip", "tree/", "tree/sub/",
                                            "tree/sub/small.txt"};
    EXPECT_EQ(ArchiveNames(dir / "work.zip"), expected);
    EXPECT_TRUE(Exists(work + "/" + temporary)) << "the leftover was deleted as if it had been archived";
}

}  // namespace
}  // namespace faults_test
