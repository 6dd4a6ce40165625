// write_fault.cpp - file-system faults on the archive being written, armed step by step by a test.
//
// The test program defines pwrite and pread itself (the only write and read calls the archiver
// library makes), so the library's calls reach these first. They pass every call on unchanged unless a
// fault is armed and the descriptor names a file holding "pakuto-tmp" (the archive before it is
// published); pread runs an armed action before the first read of a file whose path holds a marker.
// Armed faults fire once.
#include "write_fault.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ts {
namespace {

std::atomic<WriteFault> armed{WriteFault::None};
std::function<void()> hook;
std::string readMarker;
std::function<void()> readHook;
std::mutex readHookMutex;  // the library reads a file's pieces on several threads at once

bool Names(int fd, const std::string& marker) {
    char link[4096];
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(proc.c_str(), link, sizeof link - 1);
    return n > 0 && std::string(link, static_cast<size_t>(n)).find(marker) != std::string::npos;
}

bool WritesArchive(int fd) {
    return Names(fd, "pakuto-tmp");
}

// The action runs under the lock, so the other threads' reads of that file wait until it has run.
void BeforeRead(int fd) {
    std::lock_guard lock(readHookMutex);
    if (!readHook || !Names(fd, readMarker)) return;
    const std::function<void()> action = std::exchange(readHook, nullptr);
    action();
}

// The data to write: `data` itself, or a copy with a fault applied.
const void* Apply(int fd, const void* data, size_t size, std::vector<char>& copy) {
    if (armed.load() == WriteFault::None || (armed.load() == WriteFault::FlipByte && size < 4096) ||
        !WritesArchive(fd)) {
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

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

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

}  // namespace ts

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static const auto next = ts::Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    std::vector<char> copy;
    return next(fd, ts::Apply(fd, data, size, copy), size, offset);
}

extern "C" ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    static const auto next = ts::Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    ts::BeforeRead(fd);
    return next(fd, data, size, offset);
}
