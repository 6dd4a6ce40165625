// ArchiveIndex.cpp - what a written archive holds, read back through minizip's reader.
#include "ArchiveIndex.h"

#include <unzip.h>

#include <memory>
#include <vector>

namespace mMain {

namespace {

// Closes the minizip reader when it goes out of scope.
struct ReaderCloser {
    void operator()(void* reader) const { unzClose(reader); }
};

}  // namespace

std::optional<ArchiveIndex> ReadArchiveIndex(const std::string& path) {
    std::unique_ptr<void, ReaderCloser> reader(unzOpen64(path.c_str()));
    if (!reader) return std::nullopt;

    ArchiveIndex index;
    int status = unzGoToFirstFile(reader.get());
    while (status == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(reader.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            return std::nullopt;
        }
        std::vector<char> name(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(reader.get(), &info, name.data(), static_cast<uLong>(name.size()),
                                    nullptr, 0, nullptr, 0) != UNZ_OK) {
            return std::nullopt;
        }
        index[std::string(name.data(), info.size_filename)] = info.uncompressed_size;
        status = unzGoToNextFile(reader.get());
    }
    if (status != UNZ_END_OF_LIST_OF_FILE) return std::nullopt;
    return index;
}

}  // namespace mMain
