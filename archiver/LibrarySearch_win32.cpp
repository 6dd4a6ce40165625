// LibrarySearch_win32.cpp - the start-up search for 7-zip32.dll: SearchPathA in the executable's folder,
// then the system folder and the Windows folder, one folder at a time; never the current folder or PATH.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "DllSearch_win32.h"
#include "executable_path.h"
#include "mSevenZip32APIs.h"
#include "wide_text.h"

namespace mSevenZip32APIs {

const char kArchiverLibraryName[] = "7-zip32.dll";

namespace {

// "C:\..." or "\\server\share\...": a path that does not depend on the current folder or drive.
bool IsFullPath(const std::string& folder) {
    const bool drive = folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\' &&
                       ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
    return drive || folder.starts_with("\\\\");
}

// A folder the system names through a wide call taking a buffer (GetSystemDirectoryW, ...), in UTF-8.
template <typename Query>
std::string SystemFolder(Query query) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) return {};
    return Utf8FromWide(std::wstring_view(buffer.data(), length)).value_or("");
}

// The library in `folder` as SearchPathA finds it there, in UTF-8; empty when it is not there.
std::string SearchFolder(const std::string& folder) {
    const std::optional<std::string> ansiFolder = AnsiFromUtf8(folder);
    // SearchPathA takes a ';' separated list: a name holding ';' would be read as other folders.
    if (!ansiFolder || ansiFolder->find(';') != std::string::npos) return {};
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            SearchPathA(ansiFolder->c_str(), kArchiverLibraryName, nullptr, size, buffer.data(), nullptr);
        if (length == 0) return {};
        if (length < size) return Utf8FromAnsi(std::string_view(buffer.data(), length)).value_or("");
        // Too small: the length asked for counts the NUL. A path that keeps growing is passed over.
        if (length > 32768 || length <= size) return {};
        buffer.resize(length);
    }
}

}  // namespace

void RemoveCurrentFolderFromDllSearch() {
    static std::once_flag once;
    std::call_once(once, [] {
        SetDllDirectoryW(L"");
        SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    });
}

std::vector<std::string> SystemLibraryFolders() {
    std::vector<std::string> folders;
    for (std::string folder : {SystemFolder(GetSystemDirectoryW), SystemFolder(GetWindowsDirectoryW)}) {
        if (!folder.empty()) folders.push_back(std::move(folder));
    }
    return folders;
}

LibrarySearchPlaces CurrentSearchPlaces() {
    RemoveCurrentFolderFromDllSearch();
    return LibrarySearchPlaces{ExecutableFolder(), std::string(), SystemLibraryFolders()};
}

bool IsUsableLibraryFile(const std::string& path) {
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide || wide->empty()) return false;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::string FindArchiverLibrary(const LibrarySearchPlaces& places) {
    RemoveCurrentFolderFromDllSearch();
    std::vector<std::string> folders{places.executableFolder};
    folders.insert(folders.end(), places.systemFolders.begin(), places.systemFolders.end());
    for (const std::string& folder : folders) {
        if (!IsFullPath(folder)) continue;
        const std::string found = SearchFolder(folder);
        if (!found.empty() && IsFullPath(found) && IsUsableLibraryFile(found)) return found;
    }
    return {};
}

}  // namespace mSevenZip32APIs
