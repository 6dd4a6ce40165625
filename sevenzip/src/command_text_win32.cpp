// command_text_win32.cpp - the caller's text is in the ANSI code page: converted strictly to UTF-8 on
// the way in, and back (unknown characters as '?') on the way out.
#include <windows.h>

#include <climits>
#include <cstring>

#include "command_text.h"
#include "failure.h"
#include "sevenzip32.h"

namespace sevenzip {
namespace {

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

std::string commandFromCaller(const char* command) {
    const size_t bytes = std::strlen(command);
    if (bytes == 0) return {};
    // The parser refuses commands over 4 MiB; longer ones need not be converted to be refused.
    if (bytes > INT_MAX / 4) throw Failure(SEVENZIP_E_SYNTAX, "the command is longer than 4 MiB");
    const int size = static_cast<int>(bytes);
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, command, size, nullptr, 0);
    if (length <= 0)
        throw Failure(SEVENZIP_E_SYNTAX,
                      "the command is not valid text in the ANSI code page " + std::to_string(GetACP()));
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, command, size, wide.data(), length);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(utf8Length > 0 ? utf8Length : 0), '\0');
    if (utf8Length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}

void fillOutput(const std::string& text, char* output, size_t size) noexcept {
    if (output == nullptr || size == 0) return;
    size_t length = 0;
    try {
        // One character (a surrogate pair counts as one) at a time, so the cut falls between
        // characters whatever the code page's byte lengths.
        const std::wstring wide = wideFromUtf8(text);
        char buffer[16];
        for (size_t at = 0; at < wide.size();) {
            const int units = IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() ? 2 : 1;
            const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data() + at, units, buffer, sizeof buffer,
                                                  nullptr, nullptr);
            if (bytes <= 0 || length + static_cast<size_t>(bytes) > size - 1) break;
            std::memcpy(output + length, buffer, static_cast<size_t>(bytes));
            length += static_cast<size_t>(bytes);
            at += static_cast<size_t>(units);
        }
    } catch (...) {
        // Out of memory: what was written so far stands.
    }
    output[length] = '\0';
}

}  // namespace sevenzip
