// write_fault_posix.cpp - the test program defines pwrite and pread itself (the only write and read
// calls the archiver library makes), so the library's calls reach write_fault.cpp first.
#include <dlfcn.h>
#include <unistd.h>

#include "write_fault.h"

namespace {

// The path a descriptor names.
std::string PathOf(int fd) {
    char link[4096];
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(proc.c_str(), link, sizeof link - 1);
    return n > 0 ? std::string(link, static_cast<size_t>(n)) : std::string();
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    std::vector<char> copy;
    return next(fd, ts::BeforeWrite([fd] { return PathOf(fd); }, data, size, copy), size, offset);
}

extern "C" ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    ts::BeforeRead([fd] { return PathOf(fd); });
    return next(fd, data, size, offset);
}
