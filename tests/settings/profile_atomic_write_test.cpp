// profile_atomic_write_test.cpp - guards the safety of writes: the old file is replaced whole or not at
// all, a failed write leaves the old content and no temporary file, permissions and symbolic links are
// kept, and a write is refused where it would destroy something it cannot read or may not change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "profile_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_ino;
}

// Runs `write` where permissions are enforced: directly for an ordinary user; for root, which ignores
// permission bits, in a child process that has dropped to the "nobody" user. Returns the write's
// result, or std::nullopt when neither is possible here.
std::optional<bool> RunWithPermissionsEnforced(const fs::path& folder, const std::function<bool()>& write) {
    if (!RunningAsRoot()) return write();
    // The child must be able to reach the folder as "nobody".
    ::chmod(folder.parent_path().c_str(), ModeOf(folder.parent_path().string()) | 0001);
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        // A folder the child cannot even reach would make every case fail for the wrong reason.
        if (::access(folder.c_str(), R_OK | X_OK) != 0) ::_exit(3);
        ::_exit(write() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
    if (WEXITSTATUS(status) > 1) return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

constexpr const char* kRootSkip =
    "running as root, which ignores permission bits, and a child dropped to the unprivileged user 'nobody' "
    "could not be started or could not reach the temporary folder; this case cannot fail here";

TEST(ProfileAtomicWrite, ReplacesTheFileWholeKeepingItsModeAndNothingElse) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    const std::string before = "[Main]\nDelete=0\n";
    WriteBytes(path, before);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const ino_t old_inode = InodeOf(path);
    // A reader that opened the old file keeps seeing the old content in full.
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(WriteProfileString("Main", "Delete", "1", path));
    ASSERT_TRUE(WriteProfileString("Main", "Counter", "2", path));
    ASSERT_TRUE(WriteProfileString("Main", "Counter", std::nullopt, path));
    std::string seen(before.size() + 8, '\0');
    const ssize_t n = ::pread(reader, seen.data(), seen.size(), 0);
    ::close(reader);
    ASSERT_GE(n, 0);
    seen.resize(static_cast<size_t>(n));
    EXPECT_EQ(seen, before);
    EXPECT_NE(InodeOf(path), old_inode);
    EXPECT_EQ(ReadBytes(path), "[Main]\nDelete=1\n");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"pakuto.ini"}) << "a temporary file stayed";
}

TEST(ProfileAtomicWrite, NewFileGetsTheUsualModeLessUmask) {
    TempFolder folder;
    const std::string path = folder.File("pakuto.ini");
    const mode_t old_mask = ::umask(027);
    const bool written = WriteProfileString("Main", "Delete", "0", path);
    ::umask(old_mask);
    ASSERT_TRUE(written);
    EXPECT_EQ(ModeOf(path), 0640u);
}

TEST(ProfileAtomicWrite, WritesThroughASymbolicLinkAndKeepsTheLink) {
    TempFolder folder;
    fs::create_directory(folder.path() / "real");
    const std::string target = folder.File("real/settings.ini");
    const std::string link = folder.File("pakuto.ini");
    WriteBytes(target, "[Main]\nDelete=0\n");
    fs::create_symlink(target, link);
    ASSERT_TRUE(WriteProfileString("Main", "Delete", "1", link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), "[Main]\nDelete=1\n");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"pakuto.ini", "real"}));
    EXPECT_EQ(fs::directory_iterator(folder.path() / "real")->path().filename(), "settings.ini");
}

TEST(ProfileAtomicWrite, PathWithoutAFolderFailsAndCreatesNothing) {
    for (const bool via_link : {false, true}) {
        TempFolder folder;
        std::string path = folder.File("missing/pakuto.ini");
        if (via_link) {
            fs::create_symlink(path, folder.File("pakuto.ini"));
            path = folder.File("pakuto.ini");
        }
        EXPECT_FALSE(WriteProfileString("Main", "Delete", "1", path)) << "via link: " << via_link;
        EXPECT_EQ(folder.Entries().size(), via_link ? 1u : 0u) << "via link: " << via_link;
        if (via_link) {
            EXPECT_TRUE(fs::is_symlink(path));
        }
    }
}

// Each case: the folder's and the file's mode, and what a read gives with default 7 where permissions
// are enforced. None of them may be written, and none may lose a byte or gain a temporary file.
struct PermissionCase {
    const char* name;
    mode_t folder_mode, file_mode;
    int read;
};

TEST(ProfileAtomicWrite, WhatMayNotBeWrittenIsKeptWhole) {
    const PermissionCase cases[] = {
        {"read-only folder", 0555, 0666, 1},
        {"read-only file", 0777, 0444, 1},
        {"unreadable file: rewriting it would lose what could not be read", 0777, 0200, 7},
    };
    for (const PermissionCase& c : cases) {
        TempFolder folder;
        const fs::path sub = folder.path() / "sub";
        fs::create_directory(sub);
        const std::string path = (sub / "pakuto.ini").string();
        const std::string before = "[Main]\r\nDelete=1\r\n; keep\r\n[Other]\r\nkeep=me\r\n";
        WriteBytes(path, before);
        ASSERT_EQ(::chmod(path.c_str(), c.file_mode), 0);
        ASSERT_EQ(::chmod(sub.c_str(), c.folder_mode), 0);
        const auto read = RunWithPermissionsEnforced(
            sub, [&] { return ReadProfileInt("Main", "Delete", 7, path) == c.read; });
        const auto write =
            RunWithPermissionsEnforced(sub, [&] { return WriteProfileString("Main", "Delete", "0", path); });
        if (!read || !write) GTEST_SKIP() << kRootSkip;
        EXPECT_TRUE(*read) << c.name << ": the read did not give " << c.read;
        EXPECT_FALSE(*write) << c.name;
        EXPECT_EQ(ModeOf(path), c.file_mode) << c.name;
        ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
        EXPECT_EQ(ReadBytes(path), before) << c.name;
        std::vector<std::string> entries;
        for (const auto& e : fs::directory_iterator(sub)) entries.push_back(e.path().filename().string());
        EXPECT_EQ(entries, std::vector<std::string>{"pakuto.ini"}) << c.name;
    }
}

}  // namespace
