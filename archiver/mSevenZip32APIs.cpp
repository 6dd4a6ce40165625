// mSevenZip32APIs.cpp - binds the archiver's SevenZip entry point on first use, from the exact file the
// start-up search found, and forwards every call to it.
#include "mSevenZip32APIs.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>

namespace mSevenZip32APIs {
namespace {

// The library's own declaration fixes the type we look up; our forwarding function must match it.
using SevenZipEntry = decltype(&::SevenZip);
static_assert(std::is_same_v<SevenZipEntry, decltype(&mSevenZip32APIs::SevenZip)>,
              "the forwarding SevenZip must have the library's signature");

struct Binding {
    std::mutex mutex;
    std::string path;               // what the next bind opens
    SevenZipEntry entry = nullptr;  // bound from path, or null
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

void WriteReason(char* output, int32_t outputSize, const std::string& reason) {
    if (output == nullptr || outputSize <= 0) return;
    const size_t room = static_cast<size_t>(outputSize) - 1;
    const size_t length = std::min(room, reason.size());
    std::memcpy(output, reason.data(), length);
    output[length] = '\0';
}

// Opens exactly `path` (an absolute path, so the loader does no search of its own) and looks up the
// entry point. Returns null and sets reason on failure.
SevenZipEntry Bind(const std::string& path, std::string& reason) {
    if (path.empty() || path.front() != '/') {
        reason = path.empty() ? "the archiver library was not located" : "not an absolute path: " + path;
        return nullptr;
    }
    if (!IsUsableLibraryFile(path)) {
        reason = "the archiver library is missing or not a readable file: " + path;
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = dlerror();
        reason = "cannot load " + path + ": " + (error ? error : "unknown error");
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(handle, "SevenZip");
    if (symbol == nullptr) {
        reason = "no SevenZip entry point in " + path;
        dlclose(handle);
        return nullptr;
    }
    // The handle stays open for the life of the process: the bound function lives in it.
    return reinterpret_cast<SevenZipEntry>(symbol);
}

}  // namespace

void SetArchiverLibraryPath(const std::string& path) {
    Binding& binding = TheBinding();
    std::lock_guard lock(binding.mutex);
    if (path == binding.path) return;
    binding.path = path;
    binding.entry = nullptr;
}

int32_t SevenZip(void* owner, const char* command, char* output, int32_t outputSize) {
    SevenZipEntry entry = nullptr;
    std::string reason;
    {
        Binding& binding = TheBinding();
        std::lock_guard lock(binding.mutex);
        if (binding.entry == nullptr) binding.entry = Bind(binding.path, reason);
        entry = binding.entry;
    }
    if (entry == nullptr) {
        WriteReason(output, outputSize, reason);
        return kArchiverNotBound;
    }
    return entry(owner, command, output, outputSize);
}

}  // namespace mSevenZip32APIs
