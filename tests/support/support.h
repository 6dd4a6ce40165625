// support.h - what every test shares: a temporary folder, whole-file reads and writes, a step run in a
// child process (as an unprivileged user where the tests run as root) and a program run with a time
// limit, and archives read back by independent readers (Python's zipfile, unzip -t, bsdtar).
// support.cpp is the POSIX side; support_win32.cpp the Windows one (its header says what differs).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ts {

// True in the Windows build of the tests: rows marked for one platform run on that platform only.
extern const bool kWindows;
enum class On { Both, Posix, Windows };
inline bool RunsHere(On on) {
    return on == On::Both || (on == On::Windows) == kWindows;
}

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

// Keeps others from a file or folder until destroyed. Everything: all permission bits taken away on
// POSIX (so an unprivileged child cannot open it), held open sharing nothing on Windows. Writer: held
// open for writing, sharing reading and writing (on POSIX an ordinary open, which keeps nobody out).
// An empty path holds nothing.
enum class Hold { Everything, Writer };
class Held {
public:
    Held(const std::string& path, Hold how);
    ~Held();
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    intptr_t handle_ = -1;
};

// A path in the platform's own spelling (backslashes on Windows), and its UNC spelling
// ("\\server\share\...") on Windows; POSIX has no other spelling and gives the path unchanged.
std::string NativePath(const std::string& path);
std::string UncPath(const std::string& path);

// A command's text as the library takes it from UTF-8: unchanged on POSIX, in the ANSI code page on
// Windows (bytes that are not UTF-8 are passed on unchanged, so a test can hand over bytes that are
// no text in the code page).
std::string CommandText(const std::string& utf8);

// Whether bytes are whole characters of the platform's command encoding (UTF-8; the ANSI code page on
// Windows).
bool IsText(const std::string& bytes);

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
    int dosYear = 0;        // the year of the DOS date and time (this and unixTime: POSIX only)
    int64_t unixTime = -1;  // the extended-time field's modification time as readers take it; -1: none
    int method = -1;        // 0 stored, 8 DEFLATE
    bool utf8Flag = false;  // the language-encoding flag (bit 11)
};
struct ZipReport {
    bool ok = false;  // zipfile opened the archive and every CRC checked
    std::vector<ZipEntry> entries;
    std::vector<std::string> Names() const {  // sorted
        std::vector<std::string> names;
        for (const ZipEntry& e : entries) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    const ZipEntry* Find(const std::string& name) const {
        for (const ZipEntry& e : entries)
            if (e.name == name) return &e;
        return nullptr;
    }
};
ZipReport ReadZip(const std::string& archive);  // Python's zipfile
// unzip -t succeeds; given an entry (POSIX only), every header is read but only that entry's data.
bool UnzipTests(const std::string& archive, const std::string& entry = "");
bool BsdtarLists(const std::string& archive);  // bsdtar -tf succeeds

// A file of `size` bytes (POSIX only): zeros in a sparse file, or bytes that do not compress. False
// where the file system cannot hold it and an archive of it.
bool MakeBigFile(const std::string& path, uint64_t size, bool noise);

}  // namespace ts
