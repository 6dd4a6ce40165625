// write_fault.cpp - file-system faults on the archive being written, armed step by step by a test.
//
// The platform file routes the library's file calls here: write_fault_posix.cpp defines pwrite and
// pread in the test program, write_fault_win32.cpp points the DLL's imports at its own functions. Every
// call passes on unchanged unless a fault is armed and the file's path holds "pakuto-tmp" (the archive
// before it is published), or a read hook is armed and the path holds its marker. Armed faults fire once.
#include <atomic>
#include <mutex>
#include <utility>

#include "write_fault.h"

namespace ts {
namespace {

std::atomic<WriteFault> armed{WriteFault::None};
std::function<void()> hook;
std::string readMarker;
std::function<void()> readHook;
std::mutex readHookMutex;  // the library reads a file's pieces on several threads at once

}  // namespace

void ArmWriteFault(WriteFault fault, std::function<void()> action) {
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
    std::lock_guard lock(readHookMutex);
    readMarker = marker;
    readHook = std::move(action);
}

// The action runs under the lock, so the other threads' reads of that file wait until it has run.
void BeforeRead(const std::function<std::string()>& path) {
    std::lock_guard lock(readHookMutex);
    if (!readHook || path().find(readMarker) == std::string::npos) return;
    const std::function<void()> action = std::exchange(readHook, nullptr);
    action();
}

const void* BeforeWrite(const std::function<std::string()>& path, const void* data, size_t size,
                        std::vector<char>& copy) {
    if (armed.load() == WriteFault::None || (armed.load() == WriteFault::FlipByte && size < 4096) ||
        path().find("pakuto-tmp") == std::string::npos) {
        return data;
    }
    const WriteFault fault = armed.exchange(WriteFault::None);
    if (fault == WriteFault::Exit) std::_Exit(9);  // as if killed in the middle of writing
    if (fault == WriteFault::Hook && hook) hook();
    if (fault != WriteFault::FlipByte) return data;
    copy.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    copy[size / 2] = static_cast<char>(copy[size / 2] ^ 0x20);
    return copy.data();
}

}  // namespace ts
