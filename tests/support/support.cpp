// support.cpp - the shared test helpers (see support.h).
#include "support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace ts {
namespace {

// Waits for `pid` up to the time limit, killing it then; the exit code, or -1.
int Reap(pid_t pid, int timeoutSeconds, int outFd = -1, std::string* output = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        pollfd p{outFd, POLLIN, 0};
        if (poll(&p, outFd >= 0 ? 1 : 0, outFd >= 0 ? 20 : 5) > 0) {  // without output: a 5 ms wait
            char buffer[4096];
            const ssize_t n = read(outFd, buffer, sizeof buffer);
            if (n > 0 && output != nullptr) output->append(buffer, static_cast<size_t>(n));
            if (n > 0) continue;
        }
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
    }
    if (outFd >= 0) {
        char buffer[4096];
        for (ssize_t n; (n = read(outFd, buffer, sizeof buffer)) > 0;)
            if (output != nullptr) output->append(buffer, static_cast<size_t>(n));
        close(outFd);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

const bool kWindows = false;

std::string CommandText(const std::string& utf8) {
    return utf8;
}

bool IsText(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > bytes.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

Held::Held(const std::string& path, Hold how) {
    if (path.empty()) return;
    if (how == Hold::Everything) {
        chmod(path.c_str(), 0);
    } else {
        handle_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    }
}

Held::~Held() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

std::string NativePath(const std::string& path) {
    return path;
}

std::string UncPath(const std::string& path) {
    return path;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pakuto-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    chmod(path_.c_str(), 0777);  // an unprivileged step may work in it
}

TempDir::~TempDir() {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(path_, ec))
        if (!e.is_symlink()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void MakeDir(const std::string& path, unsigned mode) {
    mkdir(path.c_str(), 0700);
    chmod(path.c_str(), static_cast<mode_t>(mode));
}

std::vector<std::string> Tree(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
        const std::string name = e.path().lexically_relative(folder).string();
        names.push_back(e.is_directory() && !e.is_symlink() ? name + "/" : name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int Run(const std::vector<std::string>& argv, std::string* output, int timeoutSeconds) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return pid < 0 ? -1 : Reap(pid, timeoutSeconds, pipeFds[0], output);
}

int InChild(const std::function<int()>& step, bool unprivileged, int timeoutSeconds) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(126);
        }
        _exit(step());
    }
    return pid < 0 ? -1 : Reap(pid, timeoutSeconds);
}

bool MakeBigFile(const std::string& path, uint64_t size, bool noise) {
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    struct statvfs fs {};
    bool made = fd >= 0 && fstatvfs(fd, &fs) == 0 &&
                uint64_t{fs.f_bavail} * fs.f_frsize > (noise ? 2 : 1) * size + (1ull << 30) &&
                ftruncate(fd, static_cast<off_t>(size)) == 0;
    std::vector<uint64_t> block(1 << 17);
    std::mt19937_64 random;  // what it gives, DEFLATE cannot shrink
    for (uint64_t at = 0; made && noise && at < size; at += block.size() * 8) {
        for (uint64_t& word : block) word = random();
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size() * 8, size - at));
        made = pwrite(fd, block.data(), n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
    }
    if (fd >= 0) close(fd);
    return made;
}

static std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

ZipReport ReadZip(const std::string& archive) {
    std::string text;
    ZipReport report;
    if (Run({PAKUTO_TEST_PYTHON, PAKUTO_TEST_ZIP_READ, archive}, &text) != 0) return report;
    std::istringstream in(text);
    std::string first;
    std::getline(in, first);
    report.ok = first == "OK";
    for (std::string name, data; in >> name;) {
        ZipEntry e;
        in >> e.size >> e.mode >> data >> e.dosYear >> e.unixTime >> e.method >> e.utf8Flag;
        e.name = FromHex(name);
        e.content = FromHex(data);
        report.entries.push_back(e);
    }
    return report;
}

bool UnzipTests(const std::string& archive, const std::string& entry) {
    std::vector<std::string> argv = {PAKUTO_TEST_UNZIP, "-tqq", archive};
    if (!entry.empty()) argv.push_back(entry);
    return Run(argv) == 0;
}

bool BsdtarLists(const std::string& archive) {
    return Run({PAKUTO_TEST_BSDTAR, "-tf", archive}) == 0;
}

}  // namespace ts
