// sevenzip32.cpp - the C entry point SevenZip: runs a command, never lets an exception out, and fills
// the caller's output buffer safely.
#include "sevenzip32.h"

#include <cstring>
#include <new>
#include <string>

#include "archive_job.h"
#include "failure.h"

namespace {

// Copies text into output, cut at outputSize - 1 bytes (never inside a UTF-8 character) and
// NUL-terminated. A null buffer or a size below 1 receives nothing.
void fillOutput(const std::string& text, char* output, int32_t outputSize) noexcept {
    if (output == nullptr || outputSize <= 0) return;
    size_t length = std::min(text.size(), static_cast<size_t>(outputSize) - 1);
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    std::memcpy(output, text.data(), length);
    output[length] = '\0';
}

}  // namespace

extern "C" SEVENZIP_API int32_t SevenZip(void* owner, const char* command, char* output, int32_t outputSize) {
    (void)owner;  // no window is ever shown
    int32_t code = SEVENZIP_E_INTERNAL;
    try {
        std::string text;
        try {
            if (command == nullptr) throw sevenzip::Failure(SEVENZIP_E_SYNTAX, "no command text");
            text = sevenzip::runCommand(command);
            code = SEVENZIP_OK;
        } catch (const sevenzip::Failure& failure) {
            code = failure.code();
            text = std::string("Error (") + sevenzip::resultText(code) + "): " + failure.what() + "\n";
        } catch (const std::bad_alloc&) {
            code = SEVENZIP_E_INTERNAL;
            text = "Error (internal error): out of memory\n";
        } catch (const std::exception& error) {
            code = SEVENZIP_E_INTERNAL;
            text = std::string("Error (internal error): ") + error.what() + "\n";
        }
        fillOutput(text, output, outputSize);
    } catch (...) {
        // Building the message itself failed (out of memory): the code says enough.
        if (code == SEVENZIP_OK) code = SEVENZIP_E_INTERNAL;
        fillOutput(std::string(), output, outputSize);
    }
    return code;
}
