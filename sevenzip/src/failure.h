// failure.h - the one error type used inside the archiver library, and the result-code message lookup.
//
// Inside the library a step that cannot go on throws Failure with a result code from sevenzip32.h and a
// message naming what failed (a path, a token, the system's error text). Only the entry point catches
// it, and every other exception, and turns it into a result code and output text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sevenzip {

class Failure : public std::runtime_error {
public:
    Failure(int32_t code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int32_t code() const { return code_; }

private:
    int32_t code_;
};

// A short English text for a result code ("unknown result" for codes the library never returns).
const char* resultText(int32_t code);

// "what: strerror(err)" - the form every system-call failure message takes.
std::string systemMessage(const std::string& what, int err);

}  // namespace sevenzip
