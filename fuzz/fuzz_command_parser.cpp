// fuzz_command_parser.cpp - feeds arbitrary bytes to the archiver library's command parser (and the
// wildcard matcher with the parsed names): any input must end in a Command or a Failure, never a crash,
// a hang or a sanitizer report. It touches no files.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "command_parser.h"
#include "failure.h"
#include "wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const sevenzip::Command command = sevenzip::parseCommand(text);
        for (const sevenzip::NameGroup& group : command.groups)
            for (const std::string& name : group.names)
                for (const std::string& wildcard : command.recursive) sevenzip::wildcardMatch(wildcard, name);
    } catch (const sevenzip::Failure&) {
        // Refused input is the expected outcome for most bytes.
    }
    return 0;
}
