// sevenzip_test_support.h - what the archiver library tests share: real temporary folders and files,
// calls of the real SevenZip entry point, and the independent readers (Python's zipfile through
// zip_report.py, unzip -t, bsdtar) that check the archives it writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sztest {

// The command prefix the tool sends by default.
inline const std::string kPrefix = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

// A fresh folder under the temporary folder, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& content);  // creates parent folders
std::string readFile(const std::string& path);
void makeFolder(const std::string& path);             // with parents
std::string randomBytes(size_t size, uint32_t seed);  // incompressible
std::string textBytes(size_t size);                   // compressible, text-like
uint32_t crcOf(const std::string& data);
std::string quoted(const std::string& text);                      // "text"
std::vector<std::string> folderNames(const std::string& folder);  // sorted, without . and ..

struct CallResult {
    int32_t code = -1;
    std::string output;
};
// Calls SevenZip in this process, with a 32767-byte output buffer as the tool uses.
CallResult sevenZip(const std::string& command);

struct ProcessResult {
    int exitCode = -1;
    std::string out;  // standard output and error together
};
ProcessResult runProcess(const std::vector<std::string>& argv);

struct ZipEntryReport {
    std::string name;  // stored bytes
    unsigned flags = 0;
    unsigned createSystem = 0;
    uint32_t externalAttr = 0;
    int method = -1;
    uint64_t size = 0;
    uint32_t crc = 0;  // of the content read back
    std::vector<std::string> extraIds;
    std::string dosTime;  // Y-M-D-h-m-s
    std::string utMtime;  // seconds, or "-"
};

struct ZipReport {
    bool readable = false;
    std::string problem;
    std::vector<ZipEntryReport> entries;
    bool zip64End = false;
    const ZipEntryReport* find(const std::string& name) const;
    std::vector<std::string> names() const;
};

// Reads the archive with Python's zipfile (every entry read and CRC-checked).
ZipReport readWithPython(const std::string& archive);
// unzip -t: true when unzip tests every entry as good.
bool unzipTestPasses(const std::string& archive);
// bsdtar -tf: the names it lists.
std::vector<std::string> bsdtarNames(const std::string& archive);

// Checks the archive with Python's zipfile and unzip -t: it must hold exactly these files (name ->
// content) and folders (names ending in '/'), nothing else. Returns "" when it does, else what differs.
std::string compareArchive(const std::string& archive,
                           const std::vector<std::pair<std::string, std::string>>& files,
                           const std::vector<std::string>& folders);

}  // namespace sztest
