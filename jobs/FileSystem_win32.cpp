// FileSystem_win32.cpp - the jobs' file-system seam on Windows: the wide API on UTF-8 paths, '\' as the
// separator, drive roots "C:\" and share roots "\\server\share\"; entries by their attributes, the
// volume serial number and file index, and the times of FILE_BASIC_INFO.
#include <windows.h>
// minizip's Windows file functions build on <windows.h> and on <unzip.h>'s declarations.
#include <unzip.h>

#include <iowin32.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "FileSystem.h"
#include "PathText.h"
#include "wide_text.h"

namespace mMain {

namespace {

constexpr char kSeparator = '\\';

// 100 ns steps since 1601 to seconds and nanoseconds since 1970, floored so that times before 1970 keep
// their nanoseconds positive.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kEpochDifference = 11644473600;  // seconds from 1601 to 1970

void SplitTime(LARGE_INTEGER ticks, std::int64_t& sec, std::int64_t& nsec) {
    std::int64_t seconds = ticks.QuadPart / kTicksPerSecond;
    std::int64_t rest = ticks.QuadPart % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    sec = seconds - kEpochDifference;
    nsec = rest * 100;
}

// `path` for the wide API. Beyond MAX_PATH the path gets the "\\?\" form (the text made whole first,
// since that form takes the text as it is); nullopt when the text does not convert exactly.
std::optional<std::wstring> WidePath(const std::string& path) {
    std::optional<std::wstring> wide = WideFromUtf8(path);
    // A folder's path must leave room for a 8.3 name; below that every call takes the plain form.
    if (!wide || wide->empty() || wide->size() < MAX_PATH - 12 || wide->starts_with(L"\\\\?\\")) return wide;
    const DWORD size = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide->c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return std::nullopt;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

DWORD AttributesOf(const std::string& path) {
    const std::optional<std::wstring> wide = WidePath(path);
    return wide ? GetFileAttributesW(wide->c_str()) : INVALID_FILE_ATTRIBUTES;
}

// A handle that closes itself.
struct Handle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    explicit Handle(HANDLE h) : handle(h) {}
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

// Opens `path` to look at it, whatever it is (a folder too), sharing everything, so nobody is kept from
// the item meanwhile; `follow` false opens a link itself.
HANDLE OpenToLook(const std::string& path, bool follow, DWORD access = FILE_READ_ATTRIBUTES) {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return INVALID_HANDLE_VALUE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return CreateFileW(wide->c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

// A reparse point that stands for another name (a symbolic link or a junction); other reparse points
// (deduplicated or cloud files) are the files and folders they look like.
bool IsLinkTag(DWORD tag) {
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

bool IsLinkHandle(HANDLE handle, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           IsLinkTag(tag.ReparseTag);
}

// The layout of a symbolic link's or junction's reparse data (REPARSE_DATA_BUFFER, which the user-mode
// headers lack): a header, then for a link a flags field, then the names.
struct ReparseHeader {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
};

// The length in UTF-8 of a link's target text as the archiver stores it: the print name (the
// substitute name when a junction has none) without the "\??\" of the native form; 0 when unreadable.
std::uint64_t LinkTargetLength(HANDLE handle) {
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    ReparseHeader header{};
    if (!DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &got, nullptr) ||
        got < sizeof header)
        return 0;
    std::memcpy(&header, buffer.data(), sizeof header);
    if (!IsLinkTag(header.tag)) return 0;
    const size_t names = sizeof header + (header.tag == IO_REPARSE_TAG_SYMLINK ? sizeof(ULONG) : 0);
    USHORT offset = header.printOffset, length = header.printLength;
    if (length == 0) {
        offset = header.substituteOffset;
        length = header.substituteLength;
    }
    if (names + offset + length > got) return 0;
    std::wstring text(length / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), buffer.data() + names + offset, text.size() * sizeof(wchar_t));
    if (text.starts_with(L"\\??\\")) text.erase(0, 4);
    const std::optional<std::string> utf8 = Utf8FromWide(text);
    return utf8 ? utf8->size() : 0;
}

// The entry an open handle shows, its type File, Folder, Link or Other (a device or pipe). The hidden,
// system and read-only marks are those of the item the handle is open on.
std::optional<SourceEntry> EntryOf(HANDLE handle, const std::string& path, const std::string& name) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    SourceEntry entry;
    entry.name = name;
    entry.path = path;
    const DWORD attributes = info.dwFileAttributes;
    entry.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.system = (attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE)) != 0;
    entry.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    entry.id = {info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    SplitTime(basic.LastWriteTime, entry.mtimeSec, entry.mtimeNsec);
    SplitTime(basic.ChangeTime, entry.ctimeSec, entry.ctimeNsec);
    if (IsLinkHandle(handle, attributes)) {
        entry.type = EntryType::Link;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        entry.type = EntryType::Folder;
    } else if (GetFileType(handle) == FILE_TYPE_DISK && (attributes & FILE_ATTRIBUTE_DEVICE) == 0) {
        entry.type = EntryType::File;
        entry.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    } else {
        entry.type = EntryType::Other;
        entry.system = true;
    }
    return entry;
}

// The type a listing gives a name. A link might lead to a file: it counts as a file, so a walk reports
// it when it cannot be examined.
EntryType ListedType(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryType::Other;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryType::File;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder : EntryType::File;
}

// The length of "\\server\share" at the start of `path` (0 when it is not one): a server and a share
// name, neither empty. "\\?\" and "\\.\" (the system's own namespaces) are not shares.
std::size_t ShareLength(const std::string& path) {
    if (!path.starts_with("\\\\")) return 0;
    const std::size_t serverEnd = path.find(kSeparator, 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return 0;
    const std::string server = path.substr(2, serverEnd - 2);
    if (server == "?" || server == ".") return 0;
    const std::size_t shareEnd = std::min(path.find(kSeparator, serverEnd + 1), path.size());
    return shareEnd > serverEnd + 1 ? shareEnd : 0;
}

}  // namespace

char PathSeparator() {
    return kSeparator;
}

std::size_t RootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == kSeparator &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return 3;
    const std::size_t share = ShareLength(path);
    if (share == 0) return 0;
    return share < path.size() ? share + 1 : share;
}

std::optional<SourceEntry> Examine(const std::string& path, const std::string& name) {
    const Handle look(OpenToLook(path, false));
    if (!look.valid()) return std::nullopt;
    std::optional<SourceEntry> entry = EntryOf(look.handle, path, name);
    if (!entry || entry->type != EntryType::Link) return entry;
    // A link to a file is archived as that file: its size is the file's.
    const Handle target(OpenToLook(path, true));
    std::optional<SourceEntry> reached = target.valid() ? EntryOf(target.handle, path, name) : std::nullopt;
    if (reached && reached->type == EntryType::File) {
        entry->type = EntryType::FileLink;
        entry->size = reached->size;
    } else {
        entry->size = LinkTargetLength(look.handle);
    }
    return entry;
}

std::optional<SourceEntry> ExamineTarget(const std::string& path) {
    const Handle target(OpenToLook(path, true));
    if (!target.valid()) return std::nullopt;
    std::optional<SourceEntry> entry = EntryOf(target.handle, path, GetFileName(path));
    // The hidden mark is the dropped name's own (the link's, not its target's).
    const DWORD own = AttributesOf(path);
    if (entry && own != INVALID_FILE_ATTRIBUTES) entry->hidden = (own & FILE_ATTRIBUTE_HIDDEN) != 0;
    return entry;
}

bool IsFileSystemRoot(const std::string& path) {
    // The folder the path leads to, links followed, named as the system knows it; a volume's root is
    // its own volume path (a drive, a share, or a volume mounted on a folder).
    const Handle target(OpenToLook(path, true));
    if (!target.valid()) return false;
    std::vector<wchar_t> final(MAX_PATH);
    DWORD length =
        GetFinalPathNameByHandleW(target.handle, final.data(), static_cast<DWORD>(final.size()), 0);
    if (length >= final.size()) {
        final.resize(length + 1);
        length = GetFinalPathNameByHandleW(target.handle, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    if (length == 0 || length >= final.size()) return false;
    std::wstring reached(final.data(), length);
    if (!reached.ends_with(L'\\')) reached += L'\\';
    std::vector<wchar_t> volume(reached.size() + 1);
    if (!GetVolumePathNameW(reached.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) return false;
    return CompareStringOrdinal(reached.c_str(), -1, volume.data(), -1, TRUE) == CSTR_EQUAL;
}

bool IsLink(const std::string& path) {
    const Handle look(OpenToLook(WithoutTrailingSeparators(path), false));
    if (!look.valid()) return false;
    FILE_BASIC_INFO basic{};
    return GetFileInformationByHandleEx(look.handle, FileBasicInfo, &basic, sizeof basic) &&
           IsLinkHandle(look.handle, basic.FileAttributes);
}

std::optional<std::vector<ListedName>> ListFolder(const std::string& folder) {
    const std::optional<std::wstring> wide = WidePath(WithTrailingSeparator(folder) + "*");
    if (!wide) return std::nullopt;
    WIN32_FIND_DATAW found{};
    const HANDLE find =
        FindFirstFileExW(wide->c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<ListedName> names;
    for (BOOL more = TRUE; more; more = FindNextFileW(find, &found)) {
        const std::wstring_view wideName(found.cFileName);
        if (wideName == L"." || wideName == L"..") continue;
        // A name that is not valid UTF-16 has no UTF-8 form to carry it; it is left out, so the folder
        // holding it is never empty and never removed.
        const std::optional<std::string> name = Utf8FromWide(wideName);
        if (!name) continue;
        const DWORD attributes = found.dwFileAttributes;
        const EntryType type = ListedType(attributes);
        names.push_back({*name, type, (attributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                         (attributes & FILE_ATTRIBUTE_SYSTEM) != 0 || type == EntryType::Other});
    }
    // A listing cut short by an error is no listing.
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    if (!complete) return std::nullopt;
    return names;
}

bool NameTaken(const std::string& path) {
    if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES) return true;
    // Something the system will not describe (in use by the system, no right to look) is there too.
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

bool FolderAllowsRemoval(const std::string& folder) {
    const DWORD attributes = AttributesOf(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool RemoveFileEntry(const std::string& path) {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return false;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    // A link to a folder is a folder entry itself: RemoveDirectoryW takes the link, never its target.
    // A plain folder is not a file entry. A read-only file stays (DeleteFileW refuses it).
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && RemoveDirectoryW(wide->c_str());
    return DeleteFileW(wide->c_str()) != FALSE;
}

bool RemoveEmptyFolder(const std::string& path) {
    const std::optional<std::wstring> wide = WidePath(path);
    return wide && RemoveDirectoryW(wide->c_str());
}

bool FlushFolderNames(const std::string& folder) {
    const Handle handle(OpenToLook(folder, true, GENERIC_WRITE));
    return handle.valid() && FlushFileBuffers(handle.handle);
}

void* OpenArchiveReader(const std::string& path) {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return nullptr;
    zlib_filefunc64_def functions{};
    fill_win32_filefunc64W(&functions);
    return unzOpen2_64(wide->c_str(), &functions);
}

}  // namespace mMain
