// fuzz_profile_reader.cpp - libFuzzer target for the profile file reader and editor on arbitrary bytes.
// Input: section NUL key NUL value NUL file-content (missing fields are empty). Besides crashes and
// sanitizer reports it traps when a write does not read back as written, when writing the same value
// twice changes the file the second time, or when a removed key or section can still be read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "profile_edit.h"

namespace {

std::string_view NextField(std::string_view& rest) {
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) {
        const std::string_view field = rest;
        rest = {};
        return field;
    }
    const std::string_view field = rest.substr(0, nul);
    rest.remove_prefix(nul + 1);
    return field;
}

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view section = NextField(rest);
    const std::string_view key = NextField(rest);
    const std::string_view value = NextField(rest);
    const std::string_view content = rest;

    if (const auto found = FindProfileValue(content, section, key)) (void)ParseProfileInt(*found);
    (void)ParseProfileInt(content);

    if (const auto written = EditProfile(content, section, key, value)) {
        // What the file now says is what a file holding only this key would say.
        const std::string alone =
            "[" + std::string(section) + "]\n" + std::string(key) + "=" + std::string(value) + "\n";
        Check(FindProfileValue(*written, section, key) == FindProfileValue(alone, section, key));
        Check(FindProfileValue(alone, section, key).has_value());
        Check(EditProfile(*written, section, key, value) == *written);
    }
    if (const auto removed = EditProfile(content, section, key, std::nullopt)) {
        Check(!FindProfileValue(*removed, section, key).has_value());
    }
    if (const auto removed = EditProfile(content, section, std::nullopt, std::nullopt)) {
        Check(!FindProfileValue(*removed, section, key).has_value());
    }
    return 0;
}
