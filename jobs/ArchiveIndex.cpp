// ArchiveIndex.cpp - what a written archive holds, read back through minizip's reader.
#include "ArchiveIndex.h"

#include <unzip.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystem.h"

namespace mMain {

namespace {

// Closes the minizip reader when it goes out of scope.
struct ReaderCloser {
    void operator()(void* reader) const { unzClose(reader); }
};

constexpr std::uint64_t kSizeInZip64Field = 0xFFFFFFFFu;
constexpr unsigned kZip64FieldId = 0x0001;

std::uint64_t LittleEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// The uncompressed size of an entry whose central record holds 0xFFFFFFFF: the first value of its
// ZIP64 extra field. minizip's reader does not take it from there for every writer, so it is read
// here; nullopt when the field is missing or short.
std::optional<std::uint64_t> Zip64Size(const std::vector<unsigned char>& extra) {
    std::size_t at = 0;
    while (at + 4 <= extra.size()) {
        const auto id = static_cast<unsigned>(LittleEndian(&extra[at], 2));
        const auto length = static_cast<std::size_t>(LittleEndian(&extra[at + 2], 2));
        if (id == kZip64FieldId && length >= 8 && at + 4 + length <= extra.size())
            return LittleEndian(&extra[at + 4], 8);
        at += 4 + length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ArchiveIndex> ReadArchiveIndex(const std::string& path) {
    std::unique_ptr<void, ReaderCloser> reader(OpenArchiveReader(path));
    if (!reader) return std::nullopt;

    ArchiveIndex index;
    int status = unzGoToFirstFile(reader.get());
    while (status == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(reader.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            return std::nullopt;
        }
        std::vector<char> name(info.size_filename + 1, '\0');
        std::vector<unsigned char> extra(info.size_file_extra);
        if (unzGetCurrentFileInfo64(reader.get(), &info, name.data(), static_cast<uLong>(name.size()),
                                    extra.data(), static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
            return std::nullopt;
        }
        std::uint64_t size = info.uncompressed_size;
        if (size == kSizeInZip64Field) {
            const std::optional<std::uint64_t> zip64 = Zip64Size(extra);
            if (!zip64) return std::nullopt;
            size = *zip64;
        }
        index[std::string(name.data(), info.size_filename)] = size;
        status = unzGoToNextFile(reader.get());
    }
    if (status != UNZ_END_OF_LIST_OF_FILE) return std::nullopt;
    return index;
}

}  // namespace mMain
