// mSevenZip32APIs_posix.cpp - the entry point bound with dlopen/dlsym; the command passes as its bytes.
#include <dlfcn.h>

#include <type_traits>

#include "LibraryBinding.h"

namespace mSevenZip32APIs {

const char kArchiverLibraryName[] = "lib7-zip32.so";

namespace binding {

static_assert(std::is_same_v<Entry, decltype(&mSevenZip32APIs::SevenZip)>,
              "the forwarding SevenZip must have the library's signature");

Entry Bind(const std::string& path, std::string& reason) {
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
    return reinterpret_cast<Entry>(symbol);
}

std::optional<std::string> CommandForLibrary(const char* command) {
    return std::string(command);
}

int32_t Call(Entry entry, void* owner, const char* command, char* output, int32_t outputSize) {
    return entry(owner, command, output, outputSize);
}

}  // namespace binding
}  // namespace mSevenZip32APIs
