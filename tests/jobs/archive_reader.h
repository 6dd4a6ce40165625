// archive_reader.h - reads archives back with independent readers: Python's zipfile (names, types,
// sizes, contents, CRC check) and Info-ZIP's `unzip -t`. Programs are started without a shell, so
// any path bytes reach them unchanged.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace jobs_test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
};

// Runs argv[0] (found on PATH or given as a path) with the arguments, and collects its standard output.
inline ProgramResult RunProgram(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ProgramResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// One entry as Python's zipfile reads it. `name` holds the stored bytes.
struct ZipEntry {
    std::string name;
    std::uint64_t size = 0;
    std::uint32_t unixMode = 0;  // the upper half of the external attributes
    std::string content;         // the extracted bytes (for a link: its target text)
    bool isFolder() const { return (unixMode & 0170000) == 0040000 || (!name.empty() && name.back() == '/'); }
    bool isLink() const { return (unixMode & 0170000) == 0120000; }
};

inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Every entry of the archive, keyed by stored name. Throws when zipfile cannot read the archive or a
// CRC does not match.
inline std::map<std::string, ZipEntry> ReadZip(const std::string& archive) {
    static const char* script = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    if bad is not None:
        sys.exit('bad CRC: ' + bad)
    for i in z.infolist():
        raw = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')
        print(raw.hex() or '-', i.file_size, i.external_attr >> 16, z.read(i).hex() or '-')
)PY";
    const ProgramResult run = RunProgram({PAKUTO_TEST_PYTHON, "-c", script, archive});
    if (run.exitCode != 0) throw std::runtime_error("zipfile cannot read " + archive);
    std::map<std::string, ZipEntry> entries;
    std::istringstream lines(run.out);
    for (std::string name, content; lines >> name;) {
        ZipEntry entry;
        if (!(lines >> entry.size >> entry.unixMode >> content))
            throw std::runtime_error("unexpected zipfile output");
        entry.name = FromHex(name);
        entry.content = FromHex(content);
        entries[entry.name] = entry;
    }
    return entries;
}

// True when Info-ZIP's unzip tests the archive without error.
inline bool UnzipTestPasses(const std::string& archive) {
    return RunProgram({PAKUTO_TEST_UNZIP, "-tqq", archive}).exitCode == 0;
}

}  // namespace jobs_test
