// path_text_test.cpp - guards the path-text operations the jobs are built from: parent, name and base
// name of a path, what counts as an existing file and as a taken archive name (folders never; links,
// FIFOs and sockets always), and the numbering of free archive names on real folders.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "PathText.h"
#include "temp_dir.h"

namespace {

using namespace mMain;
using jobs_test::TempDir;
using jobs_test::WriteFile;
namespace fs = std::filesystem;

TEST(PathText, Names) {
    using Op = std::string (*)(const std::string&);
    const struct {
        const char* op_name;
        Op op;
        std::string path, expected;
    } cases[] = {
        {"parent", GetParentFolderName, "/work/report.final.txt", "/work"},
        {"parent", GetParentFolderName, "/report.txt", "/"},
        {"parent", GetParentFolderName, "/work/docs/", "/work"},
        {"parent", GetParentFolderName, "/work//docs", "/work"},
        {"parent", GetParentFolderName, "//docs", "/"},
        {"parent", GetParentFolderName, "/", ""},
        {"parent", GetParentFolderName, "plain", ""},
        {"parent", GetParentFolderName, "", ""},
        {"name", GetFileName, "/work/report.final.txt", "report.final.txt"},
        {"name", GetFileName, "/work/docs/", "docs"},
        {"name", GetFileName, "/work/my notes.txt", "my notes.txt"},
        {"name", GetFileName, "/", ""},
        {"name", GetFileName, "plain", "plain"},
        {"name", GetFileName, "/w/caf\xe9\xff.txt", "caf\xe9\xff.txt"},
        {"base", GetBaseName, "/work/report.final.txt", "report.final"},
        {"base", GetBaseName, "/work/a.tar.gz", "a.tar"},
        {"base", GetBaseName, "/work/README", "README"},
        {"base", GetBaseName, "/work/a.", "a"},
        {"base", GetBaseName, "/work/docs/", "docs"},
        {"base", GetBaseName, "/home/u/.bashrc", ".bashrc"},
        {"base", GetBaseName, "/home/u/.config.old", ".config"},
        {"base", GetBaseName, "/home/u/..x", "."},
        {"base", GetBaseName, "/w/caf\xe9\xff.txt", "caf\xe9\xff"},
        {"with separator", WithTrailingSeparator, "/work", "/work/"},
        {"with separator", WithTrailingSeparator, "/work/", "/work/"},
        {"with separator", WithTrailingSeparator, "/", "/"},
        {"with separator", WithTrailingSeparator, "", "/"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.op(c.path), c.expected) << c.op_name << " of " << c.path;
    EXPECT_TRUE(IsHiddenName(".git"));
    EXPECT_TRUE(IsHiddenName("."));
    EXPECT_FALSE(IsHiddenName("a.git"));
    EXPECT_FALSE(IsHiddenName(""));
}

// Binds a Unix socket at `path`; returns its descriptor (the socket file stays while it is open).
int BindSocket(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) return -1;
    path.copy(addr.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) return fd;
    ::close(fd);
    return -1;
}

TEST(PathText, FileExistsOnlyForRegularFilesAndFoldersNeverTakeAName) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "file", dir / "link");
    fs::create_symlink(dir / "missing", dir / "dangling");
    const int socket = BindSocket(dir / "socket");
    ASSERT_GE(socket, 0);
    const struct {
        const char* name;
        bool exists, taken;
    } cases[] = {{"file", true, true},  {"link", true, true},      {"folder", false, true},
                 {"fifo", false, true}, {"dangling", false, true}, {"socket", false, true},
                 {"none", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(NameTaken(dir / c.name), c.taken) << c.name;
    }
    ::close(socket);
}

TEST(PathText, FreeArchivePathTakesTheFirstFreeNumber) {
    TempDir dir;
    const std::string stem = dir / "a";
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a.zip");
    WriteFile(dir / "a.zip", "1");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a (2).zip");
    WriteFile(dir / "a (2).zip", "2");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a (3).zip");
    fs::remove(dir / "a.zip");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a.zip") << "a gap is filled";
}

}  // namespace
