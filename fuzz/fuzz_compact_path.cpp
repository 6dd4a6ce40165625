// fuzz_compact_path.cpp - feeds arbitrary texts and widths to CompactPath and the path-text operations;
// a crash, an endless loop (caught by the fuzzer's timeout) or a result that lost the name aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CompactPath.h"
#include "PathText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int width = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[0] | (data[1] << 8)));
    const char sep = (data[2] & 1) != 0 ? '\\' : '/';
    const std::string path(reinterpret_cast<const char*>(data + 3), size - 3);

    std::size_t measured = 0;
    const std::string result = mMain::CompactPath(
        path,
        [&measured](const std::string& text) {
            ++measured;
            return static_cast<int>(text.size()) * 100;
        },
        width, sep);

    // The name after the last separator is never cut, and each pass removes at least half a name.
    const std::size_t last = path.rfind(sep);
    const std::string name = last == std::string::npos ? path : path.substr(last + 1);
    if (result.size() < name.size() || result.compare(result.size() - name.size(), name.size(), name) != 0) {
        std::abort();
    }
    if (measured > 2 * path.size() + 4) std::abort();

    // The path-text operations must hold together on any bytes.
    const std::string parent = mMain::GetParentFolderName(path);
    const std::string fileName = mMain::GetFileName(path);
    const std::string base = mMain::GetBaseName(path);
    if (base.size() > fileName.size() || fileName.compare(0, base.size(), base) != 0) std::abort();
    if (parent.size() > path.size()) std::abort();
    if (mMain::WithTrailingSeparator(path).back() != '/') std::abort();
    return 0;
}
