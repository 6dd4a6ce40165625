// special_entries_test.cpp - guards the walk against entries that are not plain files: a FIFO or socket
// in a tree is skipped and never opened (opening a FIFO would block forever), symbolic links are stored
// as links and never followed (so a link loop or a link out of the tree cannot trap or widen the walk),
// and an archive made inside the tree it archives never contains itself or its temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "sevenzip32.h"
#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

std::string folderCommand(const std::string& archive, const std::string& folder) {
    return kPrefix + " " + quoted(archive) + " " + quoted(folder + "//") + " \"*.*\" \"-ir!*.*\"";
}

constexpr uint32_t kLinkType = 0120000;

}  // namespace

TEST(SpecialEntries, FifoInATreeIsSkippedAndNeverOpened) {
    TempDir dir;
    writeFile(dir / "t/a.txt", "a");
    const std::string fifo = dir / "t/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::atomic<bool> done{false}, opened{false};
    // A writer opens without blocking only while a reader holds the FIFO open: watch for one.
    std::thread watcher([&] {
        while (!done) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                opened = true;
                close(fd);
            }
        }
    });
    auto call =
        std::async(std::launch::async, [&] { return sevenZip(folderCommand(dir / "t.zip", dir / "t")); });
    const bool finished = call.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    done = true;
    watcher.join();  // a blocked reader was released by the watcher's open and close
    const CallResult result = call.get();
    EXPECT_TRUE(finished);
    EXPECT_FALSE(opened);
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "t.zip", {{"a.txt", "a"}}, {}), "");
}

TEST(SpecialEntries, SocketInATreeIsSkipped) {
    TempDir dir;
    writeFile(dir / "t/a.txt", "a");
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = dir / "t/sock";
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const CallResult result = sevenZip(folderCommand(dir / "t.zip", dir / "t"));
    close(fd);
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "t.zip", {{"a.txt", "a"}}, {}), "");
}

TEST(SpecialEntries, FifoNamedDirectlyIsAnErrorNotAHang) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    auto call = std::async(std::launch::async, [&] {
        return sevenZip(kPrefix + " " + quoted(dir / "p.zip") + " " + quoted(dir.path() + "/") + " pipe");
    });
    if (call.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        close(open((dir / "pipe").c_str(), O_WRONLY | O_NONBLOCK));  // release the blocked reader
        FAIL() << "the call blocked on the FIFO";
    }
    EXPECT_EQ(call.get().code, SEVENZIP_E_READ);
    EXPECT_EQ(folderNames(dir.path()), (std::vector<std::string>{"pipe"}));
}

TEST(SpecialEntries, LinksAreStoredAsLinksAndLoopsDoNotTrapTheWalk) {
    TempDir dir;
    writeFile(dir / "outside/secret.txt", "must not be archived");
    writeFile(dir / "t/a/file.txt", "f");
    ASSERT_EQ(symlink(".", (dir / "t/self").c_str()), 0);
    ASSERT_EQ(symlink("../..", (dir / "t/a/up").c_str()), 0);
    ASSERT_EQ(symlink("../outside", (dir / "t/out").c_str()), 0);
    ASSERT_EQ(symlink("loop2", (dir / "t/loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", (dir / "t/loop2").c_str()), 0);
    const CallResult result = sevenZip(folderCommand(dir / "t.zip", dir / "t"));
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "t.zip",
                             {{"a/file.txt", "f"},
                              {"self", "."},
                              {"a/up", "../.."},
                              {"out", "../outside"},
                              {"loop1", "loop2"},
                              {"loop2", "loop1"}},
                             {"a/"}),
              "");
    const ZipReport report = readWithPython(dir / "t.zip");
    for (const char* link : {"self", "a/up", "out", "loop1"}) {
        ASSERT_NE(report.find(link), nullptr) << link;
        EXPECT_EQ((report.find(link)->externalAttr >> 16) & 0170000, kLinkType) << link;
    }
    // bsdtar extracts the links as links: the walk neither followed nor lost them.
    const std::string out = dir / "extracted";
    makeFolder(out);
    ASSERT_EQ(runProcess({PAKUTO_TEST_BSDTAR, "-xf", dir / "t.zip", "-C", out}).exitCode, 0);
    char target[64] = {};
    ASSERT_GT(readlink((out + "/out").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../outside");
}

TEST(SpecialEntries, ArchiveInsideTheTreeItArchivesLeavesItselfOut) {
    TempDir dir;
    writeFile(dir / "t/a.txt", "a");
    writeFile(dir / "t/sub/b.txt", "b");
    const CallResult result = sevenZip(folderCommand(dir / "t/t.zip", dir / "t"));
    ASSERT_EQ(result.code, 0) << result.output;
    EXPECT_EQ(compareArchive(dir / "t/t.zip", {{"a.txt", "a"}, {"sub/b.txt", "b"}}, {"sub/"}), "");
    // And again, one folder down, with a relative base folder spelled differently.
    ASSERT_EQ(sevenZip(folderCommand(dir / "t/sub/inner.zip", dir / "t/./sub")).code, 0);
    EXPECT_EQ(compareArchive(dir / "t/sub/inner.zip", {{"b.txt", "b"}}, {}), "");
}
