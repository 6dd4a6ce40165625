// write_fault_win32.cpp - routes 7-zip32.dll's file calls to write_fault.cpp on Windows.
//
// The DLL links everything but the system DLLs statically, so its file calls are its imports of
// KERNEL32's CreateFileW and WriteFile. When the test program starts, this file points those
// import-table entries of the loaded DLL at its own functions. A write is checked by the file's final
// path; the read hook runs just before a file is opened for reading (not before a read, as on POSIX),
// since once the library has a source open nobody can write to it.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "write_fault.h"

namespace ts {

std::string Narrow(const std::wstring& wide, UINT codePage);  // support_win32.cpp

namespace {

std::string FinalPath(HANDLE file) {
    wchar_t path[32768];
    const DWORD n = GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED);
    return n > 0 && n < 32768 ? Narrow(std::wstring(path, n), CP_UTF8) : std::string();
}

// With a read hook armed, the file is closed while the hook may run and opened again after it, so the
// hook meets the file as a writer would; a file the library cannot open never counts as read.
HANDLE WINAPI HookedCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
    HANDLE file = CreateFileW(path, access, share, security, disposition, flags, model);
    if (file == INVALID_HANDLE_VALUE || (access & GENERIC_READ) == 0 || (access & GENERIC_WRITE) != 0)
        return file;
    bool closed = false;
    BeforeRead([&] {
        CloseHandle(file);
        closed = true;
        return Narrow(path, CP_UTF8);
    });
    return closed ? CreateFileW(path, access, share, security, disposition, flags, model) : file;
}

BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED where) {
    std::vector<char> copy;
    return WriteFile(file, BeforeWrite([file] { return FinalPath(file); }, data, size, copy), size, done,
                     where);
}

void* Replacement(const char* name) {
    if (std::strcmp(name, "CreateFileW") == 0) return reinterpret_cast<void*>(HookedCreateFileW);
    if (std::strcmp(name, "WriteFile") == 0) return reinterpret_cast<void*>(HookedWriteFile);
    return nullptr;
}

// Points the DLL's KERNEL32 imports named above at this file's functions.
bool PatchLibraryImports() {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(L"7-zip32.dll"));
    if (base == nullptr) return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0;
         ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "KERNEL32.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            void* replacement = Replacement(reinterpret_cast<const char*>(byName->Name));
            if (replacement == nullptr) continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        }
    }
    return true;
}

}  // namespace

const bool kImportsPatched = PatchLibraryImports();

}  // namespace ts
