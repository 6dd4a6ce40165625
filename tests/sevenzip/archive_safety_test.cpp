// archive_safety_test.cpp - guards the promise that 0 means every selected file is in the archive exactly,
// and that nothing of the user's is lost or overwritten: an existing archive (or one that appears while
// the archive is made) stays as it was, an unreadable or changing source fails the call, a full disk
// fails it too, and no temporary file survives any failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sevenzip32.h"
#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

std::string fileCommand(const std::string& archive, const std::string& folder, const std::string& name) {
    return kPrefix + " " + quoted(archive) + " " + quoted(folder + "/") + " " + quoted(name);
}

bool hasTemporaryFile(const std::string& folder) {
    for (const std::string& name : folderNames(folder))
        if (name.find(".pakuto-tmp") != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(ArchiveSafety, ExistingArchiveIsLeftExactlyAsItWas) {
    TempDir dir;
    writeFile(dir / "a.txt", "new content");
    writeFile(dir / "a.zip", "precious, not a zip");
    struct stat before {};
    ASSERT_EQ(stat((dir / "a.zip").c_str(), &before), 0);
    const CallResult result = sevenZip(fileCommand(dir / "a.zip", dir.path(), "a.txt"));
    EXPECT_EQ(result.code, SEVENZIP_E_EXISTS) << result.output;
    EXPECT_EQ(readFile(dir / "a.zip"), "precious, not a zip");
    struct stat after {};
    ASSERT_EQ(stat((dir / "a.zip").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_FALSE(hasTemporaryFile(dir.path()));
}

TEST(ArchiveSafety, FolderOrLinkAtTheArchiveNameIsNotReplaced) {
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    makeFolder(dir / "taken.zip");
    ASSERT_EQ(symlink("a.txt", (dir / "link.zip").c_str()), 0);
    EXPECT_EQ(sevenZip(fileCommand(dir / "taken.zip", dir.path(), "a.txt")).code, SEVENZIP_E_EXISTS);
    EXPECT_EQ(sevenZip(fileCommand(dir / "link.zip", dir.path(), "a.txt")).code, SEVENZIP_E_EXISTS);
    EXPECT_EQ(readFile(dir / "a.txt"), "a");
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"a.txt", "link.zip", "taken.zip"}));
}

TEST(ArchiveSafety, ArchiveAppearingWhileWrittenIsNotReplaced) {
    TempDir dir;
    writeFile(dir / "big.txt", textBytes(24 << 20));
    std::atomic<bool> done{false};
    std::atomic<bool> created{false};
    // As soon as the temporary file shows up, another program takes the archive's name.
    std::thread rival([&] {
        while (!done && !created) {
            if (hasTemporaryFile(dir.path())) {
                writeFile(dir / "big.zip", "rival");
                created = true;
            }
        }
    });
    const CallResult result = sevenZip(fileCommand(dir / "big.zip", dir.path(), "big.txt"));
    done = true;
    rival.join();
    ASSERT_TRUE(created) << "the call ended before its temporary file was seen";
    EXPECT_EQ(result.code, SEVENZIP_E_EXISTS) << result.output;
    EXPECT_EQ(readFile(dir / "big.zip"), "rival");
    EXPECT_FALSE(hasTemporaryFile(dir.path()));
}

TEST(ArchiveSafety, SourceChangedWhileReadFailsTheCall) {
    TempDir dir;
    writeFile(dir / "growing.log", textBytes(24 << 20));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        const int fd = open((dir / "growing.log").c_str(), O_WRONLY | O_APPEND);
        while (!done) {
            if (write(fd, "more\n", 5) != 5) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        close(fd);
    });
    const CallResult result = sevenZip(fileCommand(dir / "g.zip", dir.path(), "growing.log"));
    done = true;
    writer.join();
    EXPECT_EQ(result.code, SEVENZIP_E_READ) << result.output;
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"growing.log"}));
}

// Runs the command as a user who cannot read what the test locked away. Root reads everything, so as
// root the call runs in a child process that gives up root for "nobody" (the folder opened to all).
int32_t callWithoutPrivileges(const std::string& command, const std::string& folder) {
    if (geteuid() != 0) return sevenZip(command).code;
    if (chmod(folder.c_str(), 0777) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
        _exit(SevenZip(nullptr, command.c_str(), nullptr, 0));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 100 ? WEXITSTATUS(status) : -1;
}

TEST(ArchiveSafety, UnreadableFileInTheTreeFailsTheCall) {
    TempDir dir;
    writeFile(dir / "tree/ok.txt", "fine");
    writeFile(dir / "tree/secret.txt", "no access");
    ASSERT_EQ(chmod((dir / "tree/secret.txt").c_str(), 0), 0);
    const std::string command =
        kPrefix + " " + quoted(dir / "tree.zip") + " " + quoted(dir / "tree//") + " \"*.*\" \"-ir!*.*\"";
    EXPECT_EQ(callWithoutPrivileges(command, dir.path()), SEVENZIP_E_READ);
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"tree"}));
}

TEST(ArchiveSafety, UnlistableFolderInTheTreeFailsTheCall) {
    TempDir dir;
    writeFile(dir / "tree/ok.txt", "fine");
    writeFile(dir / "tree/closed/inside.txt", "cannot be listed");
    ASSERT_EQ(chmod((dir / "tree/closed").c_str(), 0), 0);
    const std::string command =
        kPrefix + " " + quoted(dir / "tree.zip") + " " + quoted(dir / "tree//") + " \"*.*\" \"-ir!*.*\"";
    EXPECT_EQ(callWithoutPrivileges(command, dir.path()), SEVENZIP_E_READ);
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"tree"}));
}

TEST(ArchiveSafety, MissingArchiveFolderFailsWithoutWritingAnything) {
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    EXPECT_EQ(sevenZip(fileCommand(dir / "no/such/a.zip", dir.path(), "a.txt")).code, SEVENZIP_E_WRITE);
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"a.txt"}));
}

TEST(ArchiveSafety, FailuresLeaveNoTemporaryFile) {
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    makeFolder(dir / "empty");
    const std::vector<std::string> failing = {
        fileCommand(dir / "x.zip", dir.path(), "missing.txt"),
        fileCommand(dir / "x.zip", dir / "nowhere", "a.txt"),
        fileCommand(dir / "x.zip", dir / "a.txt", "a.txt"),  // base folder that is a file
        kPrefix + " " + quoted(dir / "x.zip") + " " + quoted(dir.path() + "/") + " \"a.txt",
        kPrefix + " -mx=10 " + quoted(dir / "x.zip") + " " + quoted(dir.path() + "/") + " a.txt",
    };
    for (const std::string& command : failing) {
        const CallResult result = sevenZip(command);
        EXPECT_NE(result.code, 0) << command;
        EXPECT_FALSE(result.output.empty()) << command;
        EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"a.txt", "empty"})) << command;
    }
}

TEST(ArchiveSafety, PublishedArchiveHasTheUsualModeAndOneName) {
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    const mode_t previous = umask(022);
    const CallResult result = sevenZip(fileCommand(dir / "a.zip", dir.path(), "a.txt"));
    umask(previous);
    ASSERT_EQ(result.code, 0) << result.output;
    struct stat st {};
    ASSERT_EQ(stat((dir / "a.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(st.st_nlink, 1u);  // the temporary name is gone, not left as a second link
}

TEST(ArchiveSafety, FullDiskFailsAndLeavesNothing) {
    TempDir dir;
    writeFile(dir / "src/noise.bin", randomBytes(400000, 11));
    makeFolder(dir / "full");
    // A 64 KiB file system mounted over "full" in a private mount namespace of a child process, so
    // nothing outside the child ever sees it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string full = dir / "full";
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0)
            _exit(100);
        const std::string command =
            kPrefix + " " + quoted(full + "/n.zip") + " " + quoted(dir / "src/") + " noise.bin";
        const int32_t code = SevenZip(nullptr, command.c_str(), nullptr, 0);
        _exit(code + (folderNames(full).empty() ? 0 : 16));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100)
        GTEST_SKIP() << "no private mount namespace here (needs root): cannot fill a disk";
    EXPECT_EQ(WEXITSTATUS(status), SEVENZIP_E_WRITE) << "16 added: files were left behind";
}
