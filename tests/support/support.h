// support.h - what every test shares: a temporary folder, whole-file reads and writes, a step run in a
// child process (as an unprivileged user where the tests run as root) and a program run with a time
// limit, and archives read back by independent readers (Python's zipfile, unzip -t, bsdtar).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ts {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// A folder with exactly these permission bits (whatever the umask).
void MakeDir(const std::string& path, unsigned mode = 0777);  // without following a link at the end
// Every name below `folder`, relative to it, folders with a trailing '/', sorted.
std::vector<std::string> Tree(const std::string& folder);

// Runs argv[0] with argv and returns its exit code (-1 when it was killed or ran out of time), with
// its standard output and error in `output`.
int Run(const std::vector<std::string>& argv, std::string* output = nullptr, int timeoutSeconds = 300);

// Runs `step` in a forked child and returns its result; -1 when the child died or ran out of time.
// `unprivileged`: where the tests run as root the child first becomes user and group 65534, so
// permission bits apply to it.
int InChild(const std::function<int()>& step, bool unprivileged = false, int timeoutSeconds = 120);

struct ZipEntry {
    std::string name;       // the stored name's bytes
    uint64_t size = 0;      // uncompressed size
    unsigned mode = 0;      // the Unix mode from the external attributes
    std::string content;    // the data of entries up to 64 bytes
    int dosYear = 0;        // the year of the DOS date and time
    int64_t unixTime = -1;  // the extended-time field's modification time as readers take it; -1: none
    int method = -1;        // 0 stored, 8 DEFLATE
};
struct ZipReport {
    bool ok = false;  // zipfile opened the archive and every CRC checked
    std::vector<ZipEntry> entries;
    std::vector<std::string> Names() const;  // sorted
    const ZipEntry* Find(const std::string& name) const;
};
ZipReport ReadZip(const std::string& archive);  // Python's zipfile
bool UnzipTests(const std::string& archive);    // unzip -t succeeds
// unzip -t of one entry succeeds: every header is read, only that entry's data.
bool UnzipTests(const std::string& archive, const std::string& entry);
bool BsdtarLists(const std::string& archive);  // bsdtar -tf succeeds

}  // namespace ts
