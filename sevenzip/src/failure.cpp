// failure.cpp - the result-code message lookup and the system-error message form.
#include "failure.h"

#include "file_io.h"
#include "sevenzip32.h"

namespace sevenzip {

const char* resultText(int32_t code) {
    switch (code) {
        case SEVENZIP_OK:
            return "ok";
        case SEVENZIP_E_SYNTAX:
            return "command error";
        case SEVENZIP_E_NO_FILES:
            return "no such file";
        case SEVENZIP_E_READ:
            return "cannot read a source";
        case SEVENZIP_E_WRITE:
            return "cannot write the archive";
        case SEVENZIP_E_EXISTS:
            return "the archive name is taken";
        case SEVENZIP_E_VERIFY:
            return "the written archive did not verify";
        case SEVENZIP_E_INTERNAL:
            return "internal error";
        default:
            return "unknown result";
    }
}

std::string systemMessage(const std::string& what, int err) {
    return what + ": " + io::errorText(err);
}

}  // namespace sevenzip
