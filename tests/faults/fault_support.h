// fault_support.h - what every fault case needs: a picture of a folder tree to prove nothing was lost,
// changed or left half-made; jobs and driver runs in a child process with a time limit (so a hang
// fails the case instead of blocking the run) and optionally as the unprivileged "nobody" user; and a
// check of every "[OK]" archive with independent readers.
//
// Builds on the job tests' helpers (temporary folder, recording window, zipfile and unzip readers).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "job_fixture.h"

namespace faults_test {

using namespace jobs_test;

// The hidden mark the archiver puts in the names of its temporary files.
inline constexpr const char* kTempMark = ".pakuto-tmp\xE2\x8C\x9B";

// One item of a tree as lstat() shows it; files carry a digest of their bytes, links their target.
struct ItemState {
    mode_t mode = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t digest = 0;
    std::string linkTarget;
    bool operator==(const ItemState&) const = default;
};

// Relative path (bytes, '/'-separated) to state, for everything below a root (links not followed).
using TreeState = std::map<std::string, ItemState>;

inline std::uint64_t FileDigest(const std::string& path) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a, 64 bits
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < n; ++i)
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    ::close(fd);
    return hash;
}

// The names in `folder`, "." and ".." left out.
inline std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

inline void CaptureBelow(const std::string& root, const std::string& rel, TreeState& state) {
    const std::string folder = rel.empty() ? root : root + "/" + rel;
    for (const std::string& name : ListNames(folder)) {
        const std::string childRel = rel.empty() ? name : rel + "/" + name;
        const std::string path = root + "/" + childRel;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        ItemState item;
        item.mode = st.st_mode;
        item.inode = st.st_ino;
        item.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        item.mtimeNs = S_ISDIR(st.st_mode) ? 0 : st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec;
        // Only regular files are opened: FIFOs and sockets must never be.
        if (S_ISREG(st.st_mode) && (st.st_mode & 0444) != 0) item.digest = FileDigest(path);
        if (S_ISLNK(st.st_mode)) {
            std::string target(4096, '\0');
            const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            target.resize(n < 0 ? 0 : static_cast<size_t>(n));
            item.linkTarget = target;
        }
        state[childRel] = item;
        if (S_ISDIR(st.st_mode)) CaptureBelow(root, childRel, state);
    }
}

// Everything below `root`, `root` itself left out.
inline TreeState Capture(const std::string& root) {
    TreeState state;
    CaptureBelow(root, "", state);
    return state;
}

// The names in the state that mark a temporary file of the archiver.
inline std::vector<std::string> Temporaries(const TreeState& state) {
    std::vector<std::string> found;
    for (const auto& [rel, item] : state) {
        if (rel.find(kTempMark) != std::string::npos) found.push_back(rel);
    }
    return found;
}

// The path of an "[OK]" line (the list is wide enough in these tests for whole paths); nullopt for
// any other line.
inline std::optional<std::string> OkPath(const std::string& line) {
    if (line.rfind("[OK]", 0) != 0) return std::nullopt;
    return line.substr(4);
}

// What a job sequence left behind, judged against what was there before:
// - every item that was there is still there and unchanged, unless it is a regular file that a
//   verified archive of an "[OK]" line holds byte for byte, or a link whose target text it holds (the
//   delete box may take those), or a folder emptied that way;
// - every new item is an archive of an "[OK]" line that zipfile and unzip -t read without error;
// - no temporary file of the archiver is anywhere.
// `root` is the folder both pictures were taken of. Failures are reported through GoogleTest.
inline void ExpectNothingLost(const std::string& root, const TreeState& before, const TreeState& after,
                              const std::vector<std::string>& lines) {
    std::set<std::string> archived;  // digests of every file content the "[OK]" archives hold
    std::set<std::string> okArchives;
    for (const std::string& line : lines) {
        const std::optional<std::string> archive = OkPath(line);
        if (!archive) continue;
        okArchives.insert(*archive);
        EXPECT_TRUE(UnzipTestPasses(*archive)) << "unzip -t refuses " << *archive;
        try {
            for (const auto& [name, entry] : ReadZip(*archive)) archived.insert(entry.content);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    for (const auto& [rel, item] : before) {
        const auto now = after.find(rel);
        if (now != after.end()) {
            EXPECT_TRUE(now->second == item) << "changed: " << rel;
            continue;
        }
        if (S_ISDIR(item.mode)) continue;  // a folder goes only once empty: its files are checked
        // A link is stored as a link: its target text is the entry's content.
        const bool linkInArchive = S_ISLNK(item.mode) && archived.count(item.linkTarget) != 0;
        const bool inArchive = linkInArchive || (S_ISREG(item.mode) && item.size < (64u << 20) && [&] {
                                   // A deleted file's bytes are gone; the archive must hold content of its
                                   // size and digest.
                                   for (const std::string& content : archived) {
                                       if (content.size() != item.size) continue;
                                       std::uint64_t hash = 1469598103934665603ull;
                                       for (unsigned char c : content) hash = (hash ^ c) * 1099511628211ull;
                                       if (hash == item.digest) return true;
                                   }
                                   return false;
                               }());
        EXPECT_TRUE(inArchive) << "lost without a verified archive: " << rel;
    }
    for (const auto& [rel, item] : after) {
        if (before.count(rel) != 0) continue;
        EXPECT_EQ(okArchives.count(root + "/" + rel), 1u) << "new item that is no archive made: " << rel;
    }
    EXPECT_EQ(Temporaries(after), std::vector<std::string>{}) << "temporary file left behind";
}

// Compressible text of `size` bytes that keeps the archiver busy for seconds at its strongest setting:
// a 4 MiB block of random words, repeated (repeats lie far beyond DEFLATE's reach, so they cost as
// much as new text), so that a change made when the archive's temporary file appears lands while the
// archiver still reads.
inline std::string LargeText(size_t size) {
    std::mt19937 rng(7);
    std::string block;
    block.reserve((4u << 20) + 16);
    while (block.size() < (4u << 20)) {
        const size_t length = 2 + rng() % 8;
        for (size_t i = 0; i < length; ++i) block.push_back(static_cast<char>('a' + rng() % 26));
        block.push_back(rng() % 11 == 0 ? '\n' : ' ');
    }
    std::string text;
    text.reserve(size);
    while (text.size() < size) text.append(block, 0, std::min(block.size(), size - text.size()));
    return text;
}

// True when zipfile reads `archive` without a CRC error, it holds exactly the entries `names`, and
// the entry `member` holds the bytes of the file at `expected`. For large entries: the comparison runs
// in Python, without passing the content through text.
inline ::testing::AssertionResult ArchiveHolds(const std::string& archive,
                                               const std::vector<std::string>& names,
                                               const std::string& member, const std::string& expected) {
    static const char* script = R"PY(
import sys, zipfile
archive, member, expected = (bytes.fromhex(a) for a in sys.argv[1:4])
names = sorted(bytes.fromhex(n) for n in sys.argv[4:])
with zipfile.ZipFile(archive.decode('utf-8', 'surrogateescape')) as z:
    if z.testzip() is not None:
        sys.exit('bad CRC')
    raw = lambda i: i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')
    infos = {raw(i): i for i in z.infolist()}
    if sorted(infos) != names:
        sys.exit('entries differ: %r' % sorted(infos))
    with open(expected, 'rb') as f, z.open(infos[member]) as m:
        while True:
            a, b = f.read(1 << 20), m.read(1 << 20)
            if a != b:
                sys.exit('content differs')
            if not a:
                break
)PY";
    auto hex = [](const std::string& bytes) {
        static const char* digits = "0123456789abcdef";
        std::string out;
        for (unsigned char c : bytes) {
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
        return out;
    };
    std::vector<std::string> argv{PAKUTO_TEST_PYTHON, "-c", script, hex(archive), hex(member), hex(expected)};
    for (const std::string& name : names) argv.push_back(hex(name));
    const ProgramResult run = RunProgram(argv);
    if (run.exitCode != 0) return ::testing::AssertionFailure() << archive << " does not hold what it should";
    return ::testing::AssertionSuccess();
}

// The entry names of an archive as zipfile reads them (every CRC checked), sorted.
inline std::vector<std::string> ArchiveNames(const std::string& archive) {
    std::vector<std::string> names;
    for (const auto& [name, entry] : ReadZip(archive)) names.push_back(name);
    return names;
}

// How a child process ended.
struct ChildResult {
    bool timedOut = false;
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;
    std::vector<std::string> lines;  // what the child reported, one item per Report() call
};

// Runs `body` in a child process, killed after `timeoutSec`; `body` reports through Report(fd, text)
// and its return value is the child's exit code. With `asNobody`, the child first drops to uid/gid
// 65534 and exits 100 when it cannot (the caller then skips).
inline constexpr int kCannotDropPrivileges = 100;

inline void Report(int fd, const std::string& text) {
    const std::uint32_t size = static_cast<std::uint32_t>(text.size());
    if (::write(fd, &size, sizeof size) != sizeof size) return;
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

inline ChildResult RunInChild(const std::function<int(int reportFd)>& body, int timeoutSec,
                              bool asNobody = false) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::close(fds[0]);
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(kCannotDropPrivileges);
        int code = 1;
        try {
            code = body(fds[1]);
        } catch (...) {
            code = 2;
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    ChildResult result;
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    if (result.timedOut) {
        ::waitpid(pid, &status, 0);
    } else {
        // The pipe closes when the child ends; wait for its status within what is left of the time.
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                result.timedOut = true;
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            ::usleep(2000);
        }
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    for (size_t at = 0; at + sizeof(std::uint32_t) <= received.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, received.data() + at, sizeof size);
        at += sizeof size;
        result.lines.push_back(received.substr(at, size));
        at += size;
    }
    return result;
}

// A job sequence run in a child: `jobs` gets a fresh recording window with `deleteState` and the
// default prefix, and every result line it leaves is reported, newest first.
inline ChildResult RunJobsInChild(const std::function<void(RecordingWindow&)>& jobs, int deleteState,
                                  int timeoutSec, bool asNobody = false) {
    return RunInChild(
        [&](int fd) {
            mSevenZip32APIs::SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER_LIBRARY);
            RecordingWindow window;
            window.listWidthTwips = 400000;
            window.deleteState = deleteState;
            jobs(window);
            for (const std::string& line : window.lines) Report(fd, line);
            return 0;
        },
        timeoutSec, asNobody);
}

// True when the child finished in time with exit code 0.
inline ::testing::AssertionResult Finished(const ChildResult& r) {
    if (r.timedOut) return ::testing::AssertionFailure() << "hung: killed after the time limit";
    if (r.signal != 0) return ::testing::AssertionFailure() << "crashed with signal " << r.signal;
    if (r.exitCode != 0) return ::testing::AssertionFailure() << "exited with " << r.exitCode;
    return ::testing::AssertionSuccess();
}

// Makes `path` and the folders above it reachable for the "nobody" user (the temporary folders are
// created 0700).
inline void OpenToOthers(const std::string& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
}

}  // namespace faults_test
