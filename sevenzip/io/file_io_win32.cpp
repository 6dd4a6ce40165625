// file_io_win32.cpp - the file layer on Windows: the wide-character API on "\\?\" full paths, folder
// handles that pin their folder, reparse points seen and never entered (see file_io.h).
#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"

namespace sevenzip::io {
namespace {

// What a Handle points to: the open HANDLE and the full path it was opened by, so that names in a
// folder can be opened by joining them to it (the folder cannot move while its handle is held), the
// volume serial number of what it holds once known (a handle never changes volume), and for a folder
// what its last listing said of the plain files it holds (see statAt).
struct Node {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring path;
    bool followed = false;  // opened by a name whose last component, a reparse point, may be followed
    bool volumeKnown = false;
    DWORD volume = 0;
    std::map<std::string, FileInfo> listed;  // by name; each is used once, the volume left out
    bool listingChecked = false;             // one listed file was opened and agreed with its listing
};

Node* nodeOf(Handle handle) {
    return reinterpret_cast<Node*>(handle);
}

HANDLE native(Handle handle) {
    return handle == kNoHandle || handle == kCurrentFolder ? INVALID_HANDLE_VALUE : nodeOf(handle)->handle;
}

// Windows ULONGLONG/FILETIME counts 100 ns steps since 1601; Unix time counts seconds since 1970.
constexpr int64_t kEpochDifference = 11644473600;

int errnoOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_NO_UNICODE_TRANSLATION:
            return EILSEQ;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        default:
            return EIO;
    }
}

// The last Windows error as an errno value, also left in errno.
int lastError() {
    const int err = errnoOf(GetLastError());
    errno = err;
    return err;
}

int failWith(int err) {
    errno = err;
    return err;
}

bool wideOf(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    if (text.size() > INT_MAX / 2) return false;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) ==
           length;
}

bool utf8Of(const wchar_t* wide, size_t units, std::string& text) {
    text.clear();
    if (units == 0) return true;
    const int size = static_cast<int>(units);
    const int length =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    text.resize(static_cast<size_t>(length));
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, size, text.data(), length, nullptr,
                               nullptr) == length;
}

bool isWideSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:" alone: a drive letter and its colon.
bool isBareDrive(const std::string& path) {
    return path.size() == 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The system's full path of path (relative to the current folder, or absolute), without "\\?\".
int fullPathOf(const std::string& path, std::wstring& full) {
    std::wstring wide;
    if (path.empty()) return failWith(ENOENT);
    if (!wideOf(isBareDrive(path) ? path + "\\" : path, wide)) return failWith(EILSEQ);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    for (int tries = 0; tries < 4 && length > 0; ++tries) {
        full.assign(length, L'\0');
        const DWORD got = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
        if (got < length) {
            full.resize(got);
            return got == 0 ? lastError() : 0;
        }
        length = got;  // the current folder changed meanwhile; try with the new size
    }
    return length == 0 ? lastError() : failWith(ENAMETOOLONG);
}

// The "\\?\" form of a full path, which the system takes as it is (no length limit, no device names,
// no trailing dots or spaces dropped). Device paths ("\\.\") are refused.
int extendedOf(const std::wstring& full, std::wstring& extended) {
    if (full.rfind(L"\\\\?\\", 0) == 0) {
        extended = full;
    } else if (full.rfind(L"\\\\.\\", 0) == 0) {
        return failWith(ENOENT);
    } else if (full.rfind(L"\\\\", 0) == 0) {
        extended = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        extended = L"\\\\?\\" + full;
    }
    return 0;
}

// The path to open for dir/name: a full path for kCurrentFolder, else name joined to the folder's
// path. A name in a folder is one component: no separator, no ':' (a data stream), not "." or "..".
int pathOf(Handle dir, const std::string& name, std::wstring& path) {
    if (dir == kCurrentFolder) {
        std::wstring full;
        if (const int err = fullPathOf(name, full); err != 0) return err;
        return extendedOf(full, path);
    }
    if (dir == kNoHandle) return failWith(EBADF);
    path = nodeOf(dir)->path;
    if (name.empty()) return 0;
    if (name == "." || name == ".." || name.find_first_of("\\/:") != std::string::npos)
        return failWith(ENOENT);
    std::wstring wide;
    if (!wideOf(name, wide)) return failWith(EILSEQ);
    if (!isWideSeparator(path.back())) path.push_back(L'\\');
    path += wide;
    return 0;
}

HANDLE openNative(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileW(path.c_str(), access, share, nullptr, disposition, flags | FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

// A reparse point that stands for another name (a symbolic link or a junction).
bool isLinkTag(DWORD tag) {
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

// The modification time from a count of 100 ns steps since 1601.
void setTime(FileInfo& info, int64_t ticks) {
    // Floor division, so times before 1970 keep their nanoseconds positive.
    int64_t seconds = ticks / 10000000;
    int64_t rest = ticks % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    info.mtimeSec = seconds - kEpochDifference;
    info.mtimeNsec = rest * 100;
}

// Everything but the volume: attributes, times, size and file index from calls that stay inside the
// process (the volume serial number may need the system's mount manager: see volumeOf).
int infoOf(HANDLE handle, FileInfo& info) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    FILE_INTERNAL_INFORMATION internal{};
    IO_STATUS_BLOCK status{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
        return lastError();
    if (!NT_SUCCESS(
            NtQueryInformationFile(handle, &status, &internal, sizeof internal, FileInternalInformation)))
        return failWith(EIO);
    info = FileInfo{};
    const DWORD attributes = basic.FileAttributes;
    bool link = false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        link = GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
               isLinkTag(tag.ReparseTag);
    }
    if (link) {
        info.kind = Kind::Link;
        info.mode = 0120777;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = Kind::Folder;
        info.mode = 040755;
    } else if (GetFileType(handle) == FILE_TYPE_DISK) {
        info.kind = Kind::File;
        info.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0100444 : 0100644;
    } else {
        info.kind = Kind::Other;
    }
    info.index = static_cast<uint64_t>(internal.IndexNumber.QuadPart);
    info.size = info.kind == Kind::File ? static_cast<uint64_t>(standard.EndOfFile.QuadPart) : 0;
    setTime(info, basic.LastWriteTime.QuadPart);
    return 0;
}

// What a folder listing says of one name, when that is enough to describe it: a plain file (no
// folder, no reparse point) that holds data. A FIFO, socket or device of the host is listed by Wine
// like a file, but always with size 0: those names, and empty files, are looked at by opening them.
bool listedFileOf(const FILE_ID_BOTH_DIR_INFO& item, FileInfo& info) {
    const DWORD attributes = item.FileAttributes;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) ||
        item.EndOfFile.QuadPart <= 0)
        return false;
    info = FileInfo{};
    info.kind = Kind::File;
    info.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0100444 : 0100644;
    info.index = static_cast<uint64_t>(item.FileId.QuadPart);
    info.size = static_cast<uint64_t>(item.EndOfFile.QuadPart);
    setTime(info, item.LastWriteTime.QuadPart);
    return true;
}

// The volume serial number, asked from the system. Under Wine this is a round trip through wineserver
// to the mount manager (milliseconds on a busy machine), so the layer asks once per folder and per
// volume, not once per file: see volumeOf.
int askVolume(HANDLE handle, DWORD& serial) {
    return GetVolumeInformationByHandleW(handle, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)
               ? 0
               : lastError();
}

// A cheap description of the volume a handle is on (its size and geometry), read inside the process:
// it tells apart the volumes a path could lead to, so a remembered serial number is used only for the
// volume it was read from.
struct VolumeShape {
    int64_t units = 0;
    ULONG sectorsPerUnit = 0;
    ULONG bytesPerSector = 0;
    bool operator==(const VolumeShape&) const = default;
};

bool shapeOf(HANDLE handle, VolumeShape& shape) {
    FILE_FS_SIZE_INFORMATION size{};
    IO_STATUS_BLOCK status{};
    if (!NT_SUCCESS(NtQueryVolumeInformationFile(handle, &status, &size, sizeof size, FileFsSizeInformation)))
        return false;
    shape = {size.TotalAllocationUnits.QuadPart, size.SectorsPerAllocationUnit, size.BytesPerSector};
    return true;
}

// The serial numbers read for folders, by the folder's full path (without trailing separators) with
// the shape of the volume it was read from. A file opened by its full path, its last component not
// followed, lies in its parent folder; when the folder's entry is here and the file's volume has the
// same shape, the entry's serial number is the file's. Every serial number asked for a folder renews
// its entry, so a walk refreshes the entries its reads then use.
struct VolumeEntry {
    VolumeShape shape;
    DWORD serial = 0;
};
std::mutex volumesLock;
std::map<std::wstring, VolumeEntry> volumes;
constexpr size_t kMaxVolumeEntries = 4096;

std::wstring folderKey(const std::wstring& path) {
    size_t end = path.size();
    while (end > 1 && isWideSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

std::wstring parentKey(const std::wstring& path) {
    const std::wstring key = folderKey(path);
    const size_t cut = key.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : folderKey(key.substr(0, cut + 1));
}

// Asks a folder's serial number and remembers it under the folder's path.
int askFolderVolume(HANDLE handle, const std::wstring& path, DWORD& serial) {
    if (const int err = askVolume(handle, serial); err != 0) return err;
    VolumeShape shape;
    if (!shapeOf(handle, shape)) return 0;
    const std::lock_guard<std::mutex> hold(volumesLock);
    if (volumes.size() >= kMaxVolumeEntries) volumes.clear();
    volumes[folderKey(path)] = VolumeEntry{shape, serial};
    return 0;
}

// The serial number of a file opened by its full path without following its last component: its
// parent folder's remembered one when the volumes' shapes agree, else asked.
int pathFileVolume(HANDLE handle, const std::wstring& path, DWORD& serial) {
    VolumeShape shape;
    if (shapeOf(handle, shape)) {
        const std::lock_guard<std::mutex> hold(volumesLock);
        const auto found = volumes.find(parentKey(path));
        if (found != volumes.end() && found->second.shape == shape) {
            serial = found->second.serial;
            return 0;
        }
    }
    return askVolume(handle, serial);
}

// A folder Node's serial number, asked once.
int nodeFolderVolume(Node& folder, DWORD& serial) {
    if (!folder.volumeKnown) {
        if (const int err = askFolderVolume(folder.handle, folder.path, folder.volume); err != 0) return err;
        folder.volumeKnown = true;
    }
    serial = folder.volume;
    return 0;
}

// Where a handle's volume serial number comes from. A name opened in a folder without following a
// reparse point lies in that folder; if it is not a folder itself it is on the folder's volume (only
// a folder can be a volume's mount point, and a mount point is a reparse point, a link here, never
// entered). A folder asks its own: on Windows it may be a mount point followed, under Wine a mount
// point of the host. A file opened by its full path takes its parent folder's remembered serial number
// (pathFileVolume); anything reached through a followed reparse point asks.
int volumeOf(HANDLE handle, const std::wstring& path, const FileInfo& info, Node* folder, bool followed,
             DWORD& serial) {
    if (info.kind == Kind::Folder) return askFolderVolume(handle, path, serial);
    if (!followed && folder != nullptr) return nodeFolderVolume(*folder, serial);
    if (!followed) return pathFileVolume(handle, path, serial);
    return askVolume(handle, serial);
}

// infoOf with the volume.
int fullInfoOf(HANDLE handle, const std::wstring& path, Node* folder, bool followed, FileInfo& info) {
    if (const int err = infoOf(handle, info); err != 0) return err;
    DWORD serial = 0;
    if (const int err = volumeOf(handle, path, info, folder, followed, serial); err != 0) return err;
    info.device = serial;
    return 0;
}

// Opens dir/name only to look at it (reading attributes needs no sharing from others).
HANDLE openToLook(Handle dir, const std::string& name, bool follow, std::wstring& path, int& err) {
    if ((err = pathOf(dir, name, path)) != 0) return INVALID_HANDLE_VALUE;
    const HANDLE handle =
        openNative(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   OPEN_EXISTING, follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) err = lastError();
    return handle;
}

// Closes a HANDLE when the scope ends.
struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// The layout of a symbolic link's or junction's reparse data (REPARSE_DATA_BUFFER, which the user-mode
// headers lack): a header, then for a link four name fields and flags, for a junction the names only.
struct ReparseHeader {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
};
constexpr ULONG kSymlinkRelative = 1;

}  // namespace

const int kChangedError = 116;  // ESTALE's value elsewhere; the Windows C library has no ESTALE

Fd::~Fd() {
    if (valid() && fd_ != kCurrentFolder) {
        CloseHandle(nodeOf(fd_)->handle);
        delete nodeOf(fd_);
    }
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        Fd old(release());
        fd_ = other.release();
    }
    return *this;
}

Fd openAt(Handle dir, const std::string& name, unsigned flags) {
    auto node = std::make_unique<Node>();
    if (pathOf(dir, name, node->path) != 0) return Fd();
    const DWORD reparse = (flags & (kNoFollow | kCreateNew)) ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE handle;
    if (flags & kCreateNew) {
        // Shared with nobody but its own rename and removal while it fills.
        handle = openNative(node->path, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | reparse);
    } else if (flags & kSource) {
        // Others may read, nobody may write or rename it while it is read.
        handle = openNative(node->path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, reparse);
    } else {
        // A folder: without FILE_SHARE_DELETE, so it cannot be renamed or removed while held.
        handle = openNative(node->path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, reparse);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        lastError();
        return Fd();
    }
    node->handle = handle;
    node->followed = reparse == 0;
    Node* const folder = dir == kCurrentFolder ? nullptr : nodeOf(dir);
    Node& opened = *node;
    Fd fd(reinterpret_cast<Handle>(node.release()));
    // A new file lies in its folder, on its volume.
    if ((flags & kCreateNew) && folder != nullptr)
        opened.volumeKnown = nodeFolderVolume(*folder, opened.volume) == 0;
    if (flags & (kFolder | kNoFollow)) {
        FileInfo info;
        if (const int err = infoOf(handle, info); err != 0) {
            errno = err;
            return Fd();
        }
        // A name in a folder, not followed and not a folder, is on the folder's volume.
        if (folder != nullptr && reparse != 0 && info.kind != Kind::Folder)
            opened.volumeKnown = nodeFolderVolume(*folder, opened.volume) == 0;
        if ((flags & kNoFollow) && info.kind == Kind::Link) {
            errno = (flags & kFolder) ? ENOTDIR : ELOOP;
            return Fd();
        }
        if ((flags & kFolder) && info.kind != Kind::Folder) {
            errno = ENOTDIR;
            return Fd();
        }
    }
    return fd;
}

int statAt(Handle dir, const std::string& name, FileInfo& info, bool follow) {
    if (name.empty()) {
        if (native(dir) == INVALID_HANDLE_VALUE) return statAt(dir, ".", info, follow);
        Node& node = *nodeOf(dir);
        if (const int err = infoOf(node.handle, info); err != 0) return err;
        if (!node.volumeKnown) {
            if (const int err = volumeOf(node.handle, node.path, info, nullptr, node.followed, node.volume);
                err != 0)
                return err;
            node.volumeKnown = true;
        }
        info.device = node.volume;
        return 0;
    }
    // A plain file the folder's last listing described is taken from the listing, once, without
    // opening it (under Wine every open and close is a round trip to wineserver). It is no link, so
    // following changes nothing, and it lies on its folder's volume. The listing may be out of date
    // by the time a reader opens the file; the reader compares the identity it is given with the
    // file it opened, as it would with one looked at a moment before. The first listed file of a
    // folder is opened all the same: a file system whose listings do not give what its open files
    // say (another file number, a size kept late) has its listings set aside.
    Node* const folder = dir == kCurrentFolder || dir == kNoHandle ? nullptr : nodeOf(dir);
    FileInfo listed;
    bool wasListed = false;
    if (folder != nullptr) {
        if (const auto found = folder->listed.find(name); found != folder->listed.end()) {
            listed = found->second;
            folder->listed.erase(found);
            wasListed = true;
        }
    }
    if (wasListed && folder->listingChecked) {
        DWORD serial = 0;
        if (const int err = nodeFolderVolume(*folder, serial); err != 0) return err;
        listed.device = serial;
        info = listed;
        return 0;
    }
    int err = 0;
    std::wstring path;
    HandleCloser look{openToLook(dir, name, follow, path, err)};
    if (look.handle == INVALID_HANDLE_VALUE) return err;
    if ((err = fullInfoOf(look.handle, path, folder, follow, info)) != 0) return err;
    if (wasListed) {
        listed.device = info.device;
        folder->listingChecked = identityOf(listed) == identityOf(info) && listed.kind == info.kind;
        if (!folder->listingChecked) folder->listed.clear();
    }
    return 0;
}

int readLinkAt(Handle dir, const std::string& name, std::string& target) {
    int err = 0;
    std::wstring path;
    HandleCloser look{openToLook(dir, name, false, path, err)};
    if (look.handle == INVALID_HANDLE_VALUE) return err;
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!DeviceIoControl(look.handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &got, nullptr))
        return lastError();
    ReparseHeader header{};
    if (got < sizeof header) return failWith(EINVAL);
    std::memcpy(&header, buffer.data(), sizeof header);
    if (!isLinkTag(header.tag)) return failWith(EINVAL);
    const size_t names = sizeof header + (header.tag == IO_REPARSE_TAG_SYMLINK ? sizeof(ULONG) : 0);
    ULONG linkFlags = 0;
    if (header.tag == IO_REPARSE_TAG_SYMLINK)
        std::memcpy(&linkFlags, buffer.data() + sizeof header, sizeof linkFlags);
    // The print name is what the link was made with; a junction may have only the substitute name.
    USHORT offset = header.printOffset, length = header.printLength;
    if (length == 0) {
        offset = header.substituteOffset;
        length = header.substituteLength;
    }
    if (names + offset + length > got) return failWith(EINVAL);
    std::wstring text(length / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), buffer.data() + names + offset, text.size() * sizeof(wchar_t));
    if (text.rfind(L"\\??\\", 0) == 0) text.erase(0, 4);
    if (!utf8Of(text.data(), text.size(), target)) return failWith(EILSEQ);
    if (linkFlags & kSymlinkRelative)
        for (char& c : target)
            if (c == '\\') c = '/';
    return 0;
}

namespace {

// How much one call moves: ULONG counts, at most 1 GiB.
ULONG chunkOf(size_t left) {
    return static_cast<ULONG>(std::min<size_t>(left, 1u << 30));
}

// The handles are synchronous, so NtReadFile at an explicit offset finishes before it returns, like
// pread. Reads call it directly rather than ReadFile with an OVERLAPPED, which Wine answers with one
// more round trip to wineserver per call (to post a completion that no completion port waits for);
// reads are most of the layer's calls (every source, then the archive read back). Writes, far fewer,
// keep WriteFile.
extern "C" {
NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine, PVOID context,
                          PIO_STATUS_BLOCK status, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                          PULONG key);
}
constexpr NTSTATUS kEndOfFile = static_cast<NTSTATUS>(0xC0000011);  // STATUS_END_OF_FILE

int errnoOfStatus(NTSTATUS status) {
    return failWith(errnoOf(RtlNtStatusToDosError(status)));
}

}  // namespace

int readAt(Handle fd, void* data, size_t size, uint64_t offset, size_t& got) {
    auto* bytes = static_cast<uint8_t*>(data);
    got = 0;
    while (got < size) {
        IO_STATUS_BLOCK status{};
        LARGE_INTEGER where{};
        where.QuadPart = static_cast<LONGLONG>(offset + got);
        const NTSTATUS result = NtReadFile(native(fd), nullptr, nullptr, nullptr, &status, bytes + got,
                                           chunkOf(size - got), &where, nullptr);
        if (result == kEndOfFile) break;
        if (!NT_SUCCESS(result)) return errnoOfStatus(result);
        if (status.Information == 0) break;
        got += status.Information;
    }
    return 0;
}

int writeAt(Handle fd, const void* data, size_t size, uint64_t offset) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(offset + done);
        where.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD n = 0;
        if (!WriteFile(native(fd), bytes + done, chunkOf(size - done), &n, &where)) return lastError();
        if (n == 0) return failWith(EIO);
        done += n;
    }
    return 0;
}

int truncateTo(Handle fd, uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(native(fd), FileEndOfFileInfo, &end, sizeof end) ? 0 : lastError();
}

int flushData(Handle fd) {
    return FlushFileBuffers(native(fd)) ? 0 : lastError();
}

int setMode(Handle, uint32_t) {
    return 0;  // the file keeps the access control list it inherited from its folder
}

int renameNoReplace(Handle dir, const std::string& from, const std::string& to) {
    std::wstring fromPath, toPath;
    if (const int err = pathOf(dir, from, fromPath); err != 0) return err;
    if (const int err = pathOf(dir, to, toPath); err != 0) return err;
    // Without MOVEFILE_REPLACE_EXISTING the move fails when anything has the name.
    return MoveFileExW(fromPath.c_str(), toPath.c_str(), 0) ? 0 : lastError();
}

int removeAt(Handle dir, const std::string& name) {
    std::wstring path;
    if (const int err = pathOf(dir, name, path); err != 0) return err;
    return DeleteFileW(path.c_str()) ? 0 : lastError();
}

// Lists through the folder's own handle (no other open), and keeps what the listing says of its plain
// files for statAt.
int listFolder(Handle dir, std::vector<std::string>& names) {
    if (dir == kCurrentFolder || dir == kNoHandle) return failWith(EBADF);
    Node& folder = *nodeOf(dir);
    names.clear();
    folder.listed.clear();
    // 8-byte aligned, as the entries' 64-bit fields need.
    std::vector<uint64_t> buffer(64 * 1024 / sizeof(uint64_t));
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
    for (FILE_INFO_BY_HANDLE_CLASS which = FileIdBothDirectoryRestartInfo;; which = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(folder.handle, which, buffer.data(), bytes)) {
            const DWORD code = GetLastError();
            if (code == ERROR_NO_MORE_FILES || code == ERROR_FILE_NOT_FOUND) return 0;
            folder.listed.clear();
            return failWith(errnoOf(code));
        }
        const auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& item = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            const std::wstring_view wide(item.FileName, item.FileNameLength / sizeof(wchar_t));
            if (wide != L"." && wide != L"..") {
                std::string name;
                if (!utf8Of(wide.data(), wide.size(), name)) {
                    folder.listed.clear();
                    return failWith(EILSEQ);
                }
                FileInfo info;
                if (listedFileOf(item, info)) folder.listed[name] = info;
                names.push_back(std::move(name));
            }
            if (item.NextEntryOffset == 0) break;
            at += item.NextEntryOffset;
        }
    }
}

size_t nameMax(Handle dir) {
    DWORD longest = 0;
    if (GetVolumeInformationByHandleW(native(dir), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) &&
        longest > 0)
        return longest;
    return 255;
}

size_t nameLength(const std::string& name) {
    std::wstring wide;
    return wideOf(name, wide) ? wide.size() : name.size();
}

std::string namePrefix(const std::string& name, size_t units) {
    size_t end = 0, counted = 0;
    while (end < name.size()) {
        const auto lead = static_cast<unsigned char>(name[end]);
        const size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const size_t width = bytes == 4 ? 2 : 1;  // outside the BMP: a surrogate pair
        if (counted + width > units || end + bytes > name.size()) break;
        counted += width;
        end += bytes;
    }
    return name.substr(0, end);
}

uint32_t currentUmask() {
    return 0;
}

int absolutePath(const std::string& path, std::string& absolute) {
    std::wstring full;
    if (const int err = fullPathOf(path.empty() ? "." : path, full); err != 0) return err;
    return utf8Of(full.data(), full.size(), absolute) ? 0 : failWith(EILSEQ);
}

bool hasPermissionBits() {
    return false;
}

int realPath(const std::string& path, std::string& resolved) {
    int err = 0;
    std::wstring native;
    HandleCloser look{openToLook(kCurrentFolder, path, true, native, err)};
    if (look.handle == INVALID_HANDLE_VALUE) return err;
    std::wstring finalPath(MAX_PATH, L'\0');
    for (int tries = 0; tries < 4; ++tries) {
        const DWORD got =
            GetFinalPathNameByHandleW(look.handle, finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (got == 0) return lastError();
        if (got < finalPath.size()) {
            finalPath.resize(got);
            // "\\?\UNC\server\share\a" becomes "\\server\share\a", "\\?\C:\a" becomes "C:\a".
            if (finalPath.rfind(L"\\\\?\\UNC\\", 0) == 0)
                finalPath.erase(2, 6);
            else if (finalPath.rfind(L"\\\\?\\", 0) == 0)
                finalPath.erase(0, 4);
            return utf8Of(finalPath.data(), finalPath.size(), resolved) ? 0 : failWith(EILSEQ);
        }
        finalPath.assign(got, L'\0');  // got is the size needed, with the terminating zero
    }
    return failWith(ENAMETOOLONG);
}

int hasExtendedAccessRules(const std::string& path, bool follow, bool& extended) {
    int err = 0;
    std::wstring native;
    HandleCloser look{openToLook(kCurrentFolder, path, follow, native, err)};
    if (look.handle == INVALID_HANDLE_VALUE) return err;
    extended = true;
    return 0;
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isAbsoluteName(const std::string& name) {
    return !name.empty() && (isSeparator(name.front()) || name.find(':') != std::string::npos);
}

namespace {

// The length of a path's root: "C:\" 3, "C:" 2, "\\server\share" up to the share's end, "\" 1.
size_t rootLength(const std::string& path) {
    // The "\\?\" forms: "\\?\C:\" and "\\?\UNC\server\share" hold the roots below.
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        // From its seventh byte the path reads "C\server\share"; the 'C' becomes the second '\'.
        std::string share = path.substr(6);
        share[0] = '\\';
        return 6 + rootLength(share);
    }
    if (path.rfind("\\\\?\\", 0) == 0) return 4 + rootLength(path.substr(4));
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t at = 2, parts = 0;
        while (at < path.size() && parts < 2) {
            while (at < path.size() && !isSeparator(path[at])) ++at;
            if (++parts < 2)
                while (at < path.size() && isSeparator(path[at])) ++at;
        }
        return at;
    }
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && isSeparator(path[2]) ? 3 : 2;
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string withoutTrailingSeparators(std::string path) {
    const size_t root = std::max<size_t>(rootLength(path), 1);
    while (path.size() > root && isSeparator(path.back())) path.pop_back();
    return path;
}

void splitPath(const std::string& absolute, std::string& folder, std::string& name) {
    const size_t root = rootLength(absolute);
    size_t cut = absolute.size();
    while (cut > root && !isSeparator(absolute[cut - 1])) --cut;
    name = absolute.substr(cut);
    folder = withoutTrailingSeparators(absolute.substr(0, cut));
}

std::string errorText(int err) {
    char buffer[256];
    if (strerror_s(buffer, sizeof buffer, err) != 0) return "error " + std::to_string(err);
    return buffer;
}

}  // namespace sevenzip::io
