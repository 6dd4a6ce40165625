// sevenzip32.cpp - the C entry point SevenZip: runs a command, never lets an exception out, and fills
// the caller's output buffer safely (command_text.h converts both texts).
#include "sevenzip32.h"

#include <new>
#include <string>

#include "archive_job.h"
#include "command_text.h"
#include "failure.h"

namespace {

size_t bufferSize(SevenZipSize outputSize) {
    return outputSize > 0 ? static_cast<size_t>(outputSize) : 0;
}

}  // namespace

extern "C" SEVENZIP_API int SEVENZIP_CALL SevenZip(SevenZipOwner owner, const char* command, char* output,
                                                   SevenZipSize outputSize) {
    (void)owner;  // no window is ever shown
    int code = SEVENZIP_E_INTERNAL;
    try {
        std::string text;
        try {
            if (command == nullptr) throw sevenzip::Failure(SEVENZIP_E_SYNTAX, "no command text");
            text = sevenzip::runCommand(sevenzip::commandFromCaller(command));
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
        sevenzip::fillOutput(text, output, bufferSize(outputSize));
    } catch (...) {
        // Building the message itself failed (out of memory): the code says enough.
        if (code == SEVENZIP_OK) code = SEVENZIP_E_INTERNAL;
        sevenzip::fillOutput(std::string(), output, bufferSize(outputSize));
    }
    return code;
}
