// mSevenZip32APIs_win32.cpp - the entry point bound with LoadLibraryExW from the library's full path and
// GetProcAddress; the command goes to it in the ANSI code page, converted exactly or not at all.
#include <windows.h>

#include "DllSearch_win32.h"
#include "LibraryBinding.h"
#include "wide_text.h"

namespace mSevenZip32APIs::binding {

Entry Bind(const std::string& path, std::string& reason) {
    RemoveCurrentFolderFromDllSearch();
    const bool fullPath = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\");
    if (!fullPath) {
        reason = path.empty() ? "the archiver library was not located" : "not a full path: " + path;
        return nullptr;
    }
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide || !IsUsableLibraryFile(path)) {
        reason = "the archiver library is missing or not a usable file: " + path;
        return nullptr;
    }
    // The library's own imports come from its folder and the system folder, never the current folder.
    HMODULE module = LoadLibraryExW(wide->c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        reason = "cannot load " + path + ": error " + std::to_string(GetLastError());
        return nullptr;
    }
    const FARPROC symbol = GetProcAddress(module, "SevenZip");
    if (symbol == nullptr) {
        reason = "no SevenZip entry point in " + path;
        FreeLibrary(module);
        return nullptr;
    }
    // The module stays loaded for the life of the process: the bound function lives in it.
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(symbol));
}

std::optional<std::string> CommandForLibrary(const char* command) {
    return AnsiFromUtf8(command);
}

int32_t Call(Entry entry, void* owner, const char* command, char* output, int32_t outputSize) {
    return entry(static_cast<HWND>(owner), command, output,
                 static_cast<DWORD>(outputSize > 0 ? outputSize : 0));
}

}  // namespace mSevenZip32APIs::binding
