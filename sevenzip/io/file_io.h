// file_io.h - the archiver library's one file layer: every call it makes on files and folders goes
// through these functions, so that a port to another platform replaces the implementation file only
// (file_io_posix.cpp on Linux, file_io_win32.cpp on Windows; the build picks one).
//
// Functions report failure as an errno value (0 is success) and leave messages to their callers, who
// know what the file is for. Reads and writes loop until every byte is moved (EINTR and short transfers
// are retried); a read that meets the end of the file reports how much it got.
//
// Path text is UTF-8 on both platforms. On Windows every call is made with the wide-character API on
// the "\\?\" form of the full path, so paths longer than MAX_PATH work and are never cut; '/' and '\'
// both separate, a name given relative to a folder handle must be one plain component (no separator,
// no ':', which would name a data stream), and device names (CON, NUL, ...) are ordinary file names.
//
// What Windows does instead of the POSIX promises:
// - Links: symbolic links and junctions (reparse points) count as links. A name opened or looked at
//   without following is opened with FILE_FLAG_OPEN_REPARSE_POINT, so the reparse point itself is
//   seen and never entered.
// - Folders: a folder handle is opened without FILE_SHARE_DELETE, so while it is held nobody can
//   rename or remove the folder or any folder above it; names joined to its path stay in that folder.
// - Identity: the volume serial number is the device, the file index the inode; times come from the
//   last-write time (100 ns steps).
// - Modes: none exist. FileInfo::mode is made up for the archive's external attributes: folders
//   0755, files 0644 (0444 when read-only), links 0777. setMode does nothing (the archive keeps the
//   access control list it inherits from its folder) and currentUmask is 0.
// - Sources are opened sharing reading only: nobody can write to a file while it is read, and the
//   readers still compare size and time before and after.
// - The new archive file is created sharing nothing but deletion (its own rename and removal), so no
//   other process can read or write it while it fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sevenzip::io {

// An open file or folder: a descriptor on POSIX, the layer's own record of a Windows HANDLE and its
// path on Windows. Only this layer looks inside.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;
// As a folder handle: names are taken relative to the current folder, or as absolute paths.
inline constexpr Handle kCurrentFolder = -100;

// Owns one open handle and closes it when destroyed. Move-only.
class Fd {
public:
    Fd() = default;
    explicit Fd(Handle handle) : fd_(handle) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    Handle get() const { return fd_; }
    bool valid() const { return fd_ != kNoHandle; }
    Handle release() {
        const Handle fd = fd_;
        fd_ = kNoHandle;
        return fd;
    }

private:
    Handle fd_ = kNoHandle;
};

enum class Kind { File, Folder, Link, Other };

// What the file system says about one file, folder or link.
struct FileInfo {
    Kind kind = Kind::Other;  // Other: FIFOs, sockets, devices (never opened for reading)
    uint32_t mode = 0;        // the Unix type and permission bits (st_mode)
    uint32_t group = 0;       // the owning group; 0 on Windows
    uint64_t device = 0;      // what holds it (st_dev; the volume serial number on Windows)
    uint64_t index = 0;       // its number there (st_ino; the file index on Windows)
    uint64_t size = 0;        // bytes; for a link its target text's length on POSIX, 0 on Windows
    int64_t mtimeSec = 0;     // modification time, seconds since 1970
    int64_t mtimeNsec = 0;
};

// What identifies one file's content as listed: a reader checks it again when it opens the file and
// when it has read it, so an archive never holds a file other than the one listed, or one that changed.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;
    bool operator==(const FileIdentity&) const = default;
};
inline FileIdentity identityOf(const FileInfo& info) {
    return FileIdentity{info.device, info.index, info.size, info.mtimeSec, info.mtimeNsec};
}

// How openAt opens a name; kFolder, kSource and kCreateNew exclude each other, kNoFollow may be added.
enum OpenFlags : unsigned {
    kFolder = 1u,     // a folder, to list and to open names in (ENOTDIR for anything else)
    kSource = 2u,     // a file to read: never blocks (a FIFO is not waited for), never becomes the
                      // controlling terminal; on Windows others may read it, nobody may write it
    kCreateNew = 4u,  // a new file to read and write, only if nothing has the name (EEXIST), never
                      // through a link; mode 0600 on POSIX, shared with nobody on Windows
    kNoFollow = 8u,   // the last component must not be a link (ELOOP, or ENOTDIR for kFolder)
};

// Opens dir/name (name relative to the folder dir, or to the current folder or absolute with
// kCurrentFolder). On failure the Fd is not valid and errno holds the reason.
Fd openAt(Handle dir, const std::string& name, unsigned flags);

// The file dir/name; follow = false looks at a link itself. name "" describes dir itself.
int statAt(Handle dir, const std::string& name, FileInfo& info, bool follow);

// The target text of the link dir/name.
int readLinkAt(Handle dir, const std::string& name, std::string& target);

// Reads up to size bytes at offset, stopping early only at the end of the file; got is what was read.
int readAt(Handle fd, void* data, size_t size, uint64_t offset, size_t& got);
// Writes all size bytes at offset (a write that moves nothing is EIO).
int writeAt(Handle fd, const void* data, size_t size, uint64_t offset);
int truncateTo(Handle fd, uint64_t size);

// Flushes a file's data and size to the device (fdatasync, FlushFileBuffers: the times may follow).
int flushData(Handle fd);
// Sets a file's permission bits exactly (the umask does not apply). Does nothing on Windows.
int setMode(Handle fd, uint32_t mode);

// Gives dir/from the name dir/to, never replacing anything that has that name (EEXIST then). Uses
// renameat2(RENAME_NOREPLACE), or link() then unlink() where the file system lacks it; MoveFileExW
// without MOVEFILE_REPLACE_EXISTING on Windows.
int renameNoReplace(Handle dir, const std::string& from, const std::string& to);
int removeAt(Handle dir, const std::string& name);

// The names in the folder dir, without "." and "..", in the order the file system gives them. On
// Windows a name that is not valid UTF-16 (a lone surrogate) has no UTF-8 form: EILSEQ.
int listFolder(Handle dir, std::vector<std::string>& names);

// The longest name the file system of dir takes, in its own units (bytes on POSIX, UTF-16 code units
// on Windows), as nameLength counts them.
size_t nameMax(Handle dir);
size_t nameLength(const std::string& name);
// The longest start of name within `units` (as nameLength counts), never cutting a character in two
// where the platform's names are text.
std::string namePrefix(const std::string& name, size_t units);

// The process's file-creation mask, read without changing it (umask(2) would, for every thread); 0 on
// Windows.
uint32_t currentUmask();

// The absolute form of a path: on POSIX a relative one is joined to the current folder and nothing is
// resolved; on Windows the system's full path ("C:\a\b", "\\server\share\b"; "." and ".." resolved,
// '/' turned into '\'), with a bare drive "C:" taken as its root "C:\".
int absolutePath(const std::string& path, std::string& absolute);

// Whether files carry permission bits that setMode sets and the umask narrows: true on POSIX; false on
// Windows, where FileInfo::mode is made up and a new file takes the access control list its folder
// passes on (the archive's file is then as private as its folder makes it).
bool hasPermissionBits();

// The canonical form of an existing path: absolute, every link resolved, no "." or ".." (realpath(3));
// on Windows the final path of the file it names (GetFinalPathNameByHandleW), in the form absolutePath
// gives ("C:\a\b", "\\server\share\b").
int realPath(const std::string& path, std::string& resolved);

// Whether the file at an absolute path has access rules beyond its permission bits (on Linux a POSIX
// ACL with more than the owner, group and other entries); follow = false looks at a link itself. A file
// system without such rules gives false. On Windows access is always an access control list, which this
// layer does not read: true for any file that exists.
int hasExtendedAccessRules(const std::string& path, bool follow, bool& extended);

// Path text rules. isSeparator: '/' on POSIX, '/' and '\' on Windows.
bool isSeparator(char c);
// A name that is absolute: starts with a separator (or, on Windows, a drive "C:" or holds ':').
bool isAbsoluteName(const std::string& name);
// A folder path without its trailing separators, the root kept ("/", "C:\", "\\server\share").
std::string withoutTrailingSeparators(std::string path);
// Splits an absolute path into its folder (the root kept whole) and its last component.
void splitPath(const std::string& absolute, std::string& folder, std::string& name);

// The system's text for an errno value.
std::string errorText(int err);

// The error value a reader reports for a file that is not as it was listed (replaced, resized,
// modified, grown or shrunk): ESTALE where the C library has it.
extern const int kChangedError;

}  // namespace sevenzip::io
