// command_text_posix.cpp - the caller's text is the file system's bytes: kept as they are.
#include <algorithm>
#include <cstring>

#include "command_text.h"

namespace sevenzip {

std::string commandFromCaller(const char* command) {
    return command;
}

void fillOutput(const std::string& text, char* output, size_t size) noexcept {
    if (output == nullptr || size == 0) return;
    size_t length = std::min(text.size(), size - 1);
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    std::memcpy(output, text.data(), length);
    output[length] = '\0';
}

}  // namespace sevenzip
