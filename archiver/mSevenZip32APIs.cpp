// mSevenZip32APIs.cpp - binds the archiver's SevenZip entry point on first use, from the exact file the
// start-up search found, and forwards every call to it (the platform's part: LibraryBinding.h).
#include "mSevenZip32APIs.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "LibraryBinding.h"

namespace mSevenZip32APIs {
namespace {

struct Binding {
    std::mutex mutex;
    std::string path;                // what the next bind opens
    binding::Entry entry = nullptr;  // bound from path, or null
};

Binding& TheBinding() {
    static Binding state;
    return state;
}

void WriteReason(char* output, int32_t outputSize, const std::string& reason) {
    if (output == nullptr || outputSize <= 0) return;
    const size_t room = static_cast<size_t>(outputSize) - 1;
    const size_t length = std::min(room, reason.size());
    std::memcpy(output, reason.data(), length);
    output[length] = '\0';
}

}  // namespace

void SetArchiverLibraryPath(const std::string& path) {
    Binding& state = TheBinding();
    std::lock_guard lock(state.mutex);
    if (path == state.path) return;
    state.path = path;
    state.entry = nullptr;
}

int32_t SevenZip(void* owner, const char* command, char* output, int32_t outputSize) {
    binding::Entry entry = nullptr;
    std::string reason;
    {
        Binding& state = TheBinding();
        std::lock_guard lock(state.mutex);
        if (state.entry == nullptr) state.entry = binding::Bind(state.path, reason);
        entry = state.entry;
    }
    if (entry == nullptr) {
        WriteReason(output, outputSize, reason);
        return kArchiverNotBound;
    }
    if (command == nullptr) return binding::Call(entry, owner, command, output, outputSize);
    const std::optional<std::string> text = binding::CommandForLibrary(command);
    if (!text) {
        WriteReason(output, outputSize, "the command holds text the system code page cannot carry exactly");
        return kCommandNotConvertible;
    }
    return binding::Call(entry, owner, text->c_str(), output, outputSize);
}

}  // namespace mSevenZip32APIs
