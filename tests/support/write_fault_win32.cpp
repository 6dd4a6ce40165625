// write_fault_win32.cpp - the faults of write_fault.h on Windows, armed step by step by a test.
//
// 7-zip32.dll links everything but the system DLLs statically, so its file calls are its imports of
// KERNEL32's CreateFileW and WriteFile. The first time a fault or hook is armed, this file
// points those import-table entries of the loaded DLL at its own functions, which pass every call on
// unchanged unless something is armed: a write to a file whose final path holds "pakuto-tmp" (the
// archive before it is published) takes the armed fault; the read hook runs just before a file whose
// path holds the marker is opened for reading, since once the library has it open nobody can write it.
// Armed faults fire once.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "write_fault.h"

namespace ts {
namespace {

std::atomic<WriteFault> armed{WriteFault::None};
std::function<void()> hook;
std::string readMarker;
std::function<void()> readHook;
std::mutex readHookMutex;  // the library opens and reads files on several threads at once

std::string Utf8(const wchar_t* wide, size_t units) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(units), text.data(), n, nullptr, nullptr);
    return text;
}

bool WritesArchive(HANDLE file) {
    wchar_t path[32768];
    const DWORD n = GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED);
    return n > 0 && n < 32768 && Utf8(path, n).find("pakuto-tmp") != std::string::npos;
}

// The action runs under the lock, so the other threads' opens wait until it has run.
void BeforeOpen(const wchar_t* path, DWORD access) {
    std::lock_guard lock(readHookMutex);
    if (!readHook || (access & GENERIC_READ) == 0 || (access & GENERIC_WRITE) != 0) return;
    if (Utf8(path, wcslen(path)).find(readMarker) == std::string::npos) return;
    const std::function<void()> action = std::exchange(readHook, nullptr);
    action();
}

// The data to write: `data` itself, or a copy with a fault applied.
const void* Apply(HANDLE file, const void* data, DWORD size, std::vector<char>& copy) {
    if (armed.load() == WriteFault::None || (armed.load() == WriteFault::FlipByte && size < 4096) ||
        !WritesArchive(file)) {
        return data;
    }
    const WriteFault fault = armed.exchange(WriteFault::None);
    if (fault == WriteFault::Exit) _exit(9);  // as if killed in the middle of writing
    if (fault == WriteFault::Hook && hook) hook();
    if (fault != WriteFault::FlipByte) return data;
    copy.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    copy[size / 2] = static_cast<char>(copy[size / 2] ^ 0x20);
    return copy.data();
}

HANDLE WINAPI HookedCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
    BeforeOpen(path, access);
    return CreateFileW(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED where) {
    std::vector<char> copy;
    return WriteFile(file, Apply(file, data, size, copy), size, done, where);
}

void* Replacement(const char* name) {
    if (std::strcmp(name, "CreateFileW") == 0) return reinterpret_cast<void*>(HookedCreateFileW);
    if (std::strcmp(name, "WriteFile") == 0) return reinterpret_cast<void*>(HookedWriteFile);
    return nullptr;
}

// Points the DLL's KERNEL32 imports named above at this file's functions, once.
void PatchLibraryImports() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(L"7-zip32.dll"));
        if (base == nullptr) return;
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             d->Name != 0; ++d) {
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
    });
}

}  // namespace

void ArmWriteFault(WriteFault fault, std::function<void()> action) {
    PatchLibraryImports();
    hook = std::move(action);
    armed = fault;
}

bool WriteFaultFired() {
    std::lock_guard lock(readHookMutex);
    return armed.load() == WriteFault::None && !readHook;
}

void Disarm() {
    std::lock_guard lock(readHookMutex);
    armed = WriteFault::None;
    readHook = nullptr;
}

void ArmReadHook(const std::string& marker, std::function<void()> action) {
    PatchLibraryImports();
    std::lock_guard lock(readHookMutex);
    readMarker = marker;
    readHook = std::move(action);
}

}  // namespace ts
