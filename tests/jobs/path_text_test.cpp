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

TEST(PathTextNames, ParentFolderName) {
    EXPECT_EQ(GetParentFolderName("/work/report.final.txt"), "/work");
    EXPECT_EQ(GetParentFolderName("/report.txt"), "/");
    EXPECT_EQ(GetParentFolderName("/work/docs"), "/work");
    EXPECT_EQ(GetParentFolderName("/work/docs/"), "/work");
    EXPECT_EQ(GetParentFolderName("/work//docs"), "/work");
    EXPECT_EQ(GetParentFolderName("//docs"), "/");
    EXPECT_EQ(GetParentFolderName("/"), "");
    EXPECT_EQ(GetParentFolderName("plain"), "");
    EXPECT_EQ(GetParentFolderName(""), "");
}

TEST(PathTextNames, FileName) {
    EXPECT_EQ(GetFileName("/work/report.final.txt"), "report.final.txt");
    EXPECT_EQ(GetFileName("/work/docs"), "docs");
    EXPECT_EQ(GetFileName("/work/docs/"), "docs");
    EXPECT_EQ(GetFileName("/work/my notes.txt"), "my notes.txt");
    EXPECT_EQ(GetFileName("/"), "");
    EXPECT_EQ(GetFileName("plain"), "plain");
}

TEST(PathTextNames, BaseNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(GetBaseName("/work/report.final.txt"), "report.final");
    EXPECT_EQ(GetBaseName("/work/a.tar.gz"), "a.tar");
    EXPECT_EQ(GetBaseName("/work/README"), "README");
    EXPECT_EQ(GetBaseName("/work/a."), "a");
    EXPECT_EQ(GetBaseName("/work/docs/"), "docs");
}

TEST(PathTextNames, LeadingDotIsNotAnExtension) {
    EXPECT_EQ(GetBaseName("/home/u/.bashrc"), ".bashrc");
    EXPECT_EQ(GetBaseName("/home/u/.config.old"), ".config");
    EXPECT_EQ(GetBaseName("/home/u/..x"), ".");
}

TEST(PathTextNames, NonUtf8BytesPassThrough) {
    const std::string name = "caf\xe9\xff.txt";
    EXPECT_EQ(GetFileName("/w/" + name), name);
    EXPECT_EQ(GetBaseName("/w/" + name), "caf\xe9\xff");
}

TEST(PathTextNames, TrailingSeparator) {
    EXPECT_EQ(WithTrailingSeparator("/work"), "/work/");
    EXPECT_EQ(WithTrailingSeparator("/work/"), "/work/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator(""), "/");
}

TEST(PathTextNames, Hidden) {
    EXPECT_TRUE(IsHiddenName(".git"));
    EXPECT_TRUE(IsHiddenName("."));
    EXPECT_FALSE(IsHiddenName("a.git"));
    EXPECT_FALSE(IsHiddenName(""));
}

class PathTextFiles : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(PathTextFiles, FileExistsOnlyForRegularFiles) {
    WriteFile(dir / "f.txt", "x");
    std::filesystem::create_directory(dir / "d");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "f.txt", dir / "link");
    std::filesystem::create_symlink(dir / "missing", dir / "dangling");

    EXPECT_TRUE(FileExists(dir / "f.txt"));
    EXPECT_TRUE(FileExists(dir / "link"));
    EXPECT_FALSE(FileExists(dir / "d"));
    EXPECT_FALSE(FileExists(dir / "fifo"));
    EXPECT_FALSE(FileExists(dir / "dangling"));
    EXPECT_FALSE(FileExists(dir / "none"));
}

TEST_F(PathTextFiles, NameTakenByAnythingButAFolder) {
    WriteFile(dir / "f.zip", "x");
    std::filesystem::create_directory(dir / "d.zip");
    ASSERT_EQ(::mkfifo((dir / "p.zip").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "missing", dir / "dangling.zip");

    EXPECT_TRUE(NameTaken(dir / "f.zip"));
    EXPECT_TRUE(NameTaken(dir / "p.zip"));
    EXPECT_TRUE(NameTaken(dir / "dangling.zip"));
    EXPECT_FALSE(NameTaken(dir / "d.zip"));
    EXPECT_FALSE(NameTaken(dir / "none.zip"));
}

TEST_F(PathTextFiles, SocketIsTaken) {
    const std::string path = dir / "s.zip";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(addr.sun_path));
    path.copy(addr.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    EXPECT_TRUE(NameTaken(path));
    EXPECT_FALSE(FileExists(path));
    ::close(fd);
}

TEST_F(PathTextFiles, FreeArchivePathNumbers) {
    const std::string stem = dir / "a";
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a.zip");
    WriteFile(dir / "a.zip", "1");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a (2).zip");
    WriteFile(dir / "a (2).zip", "2");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a (3).zip");
    // A gap is filled: numbering takes the first free one.
    std::filesystem::remove(dir / "a.zip");
    EXPECT_EQ(FreeArchivePath(stem, ".zip"), dir / "a.zip");
}

TEST_F(PathTextFiles, FreeArchivePathIgnoresFoldersAndAddsNoDot) {
    std::filesystem::create_directory(dir / "docs");
    EXPECT_EQ(FreeArchivePath(dir / "docs", ""), dir / "docs");
    EXPECT_EQ(FreeArchivePath(dir / "a.tar", "zip"), dir / "a.tarzip");
    std::filesystem::create_symlink(dir / "missing", dir / "b.zip");
    EXPECT_EQ(FreeArchivePath(dir / "b", ".zip"), dir / "b (2).zip");
}

TEST_F(PathTextFiles, SourceIsNeverItsOwnTarget) {
    WriteFile(dir / "a.zip", "source");
    EXPECT_EQ(FreeArchivePath(dir / GetBaseName(dir / "a.zip"), ".zip"), dir / "a (2).zip");
}

}  // namespace
