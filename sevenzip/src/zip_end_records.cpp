// zip_end_records.cpp - corrections made to minizip's output after it closes the archive.
#include "zip_end_records.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace sevenzip {
namespace {

bool writeAll(int fd, const uint8_t* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void putLittleEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

bool addZip64EndRecords(int fd, uint64_t& size, uint64_t entryCount) {
    uint8_t tail[42] = {};
    if (size < sizeof tail ||
        pread(fd, tail, sizeof tail, static_cast<off_t>(size - sizeof tail)) != sizeof tail)
        return false;
    const auto le32 = [](const uint8_t* p) {
        return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
    };
    const uint8_t* end = tail + 20;
    if (le32(end) != 0x06054b50) return false;
    if (le32(tail) == 0x07064b50) return true;  // minizip wrote them itself
    const uint64_t directorySize = le32(end + 12), directoryOffset = le32(end + 16);
    const uint64_t recordOffset = size - 22;

    std::vector<uint8_t> records;
    putLittleEndian(records, 0x06064b50, 4);       // ZIP64 end of central directory record
    putLittleEndian(records, 44, 8);               // its size after this field
    putLittleEndian(records, (3u << 8) | 45u, 2);  // made by Unix, ZIP 4.5
    putLittleEndian(records, 45, 2);               // needed to extract
    putLittleEndian(records, 0, 4);                // this disk
    putLittleEndian(records, 0, 4);                // disk of the central directory
    putLittleEndian(records, entryCount, 8);       // entries on this disk
    putLittleEndian(records, entryCount, 8);       // entries in all
    putLittleEndian(records, directorySize, 8);
    putLittleEndian(records, directoryOffset, 8);
    putLittleEndian(records, 0x07064b50, 4);  // ZIP64 end locator
    putLittleEndian(records, 0, 4);           // disk of the ZIP64 end record
    putLittleEndian(records, recordOffset, 8);
    putLittleEndian(records, 1, 4);           // disks in all
    putLittleEndian(records, 0x06054b50, 4);  // end of central directory record
    putLittleEndian(records, 0, 4);           // disk numbers
    putLittleEndian(records, 0xFFFF, 2);      // entry counts: see the ZIP64 record
    putLittleEndian(records, 0xFFFF, 2);
    putLittleEndian(records, directorySize, 4);
    putLittleEndian(records, directoryOffset, 4);
    putLittleEndian(records, 0, 2);  // no comment
    if (!writeAll(fd, records.data(), records.size(), recordOffset)) return false;
    size = recordOffset + records.size();
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool restoreUnixOrigin(int fd, uint64_t size) {
    const auto le = [](const uint8_t* p, int bytes) {
        uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
        return value;
    };
    uint8_t tail[42] = {};
    if (size < sizeof tail ||
        pread(fd, tail, sizeof tail, static_cast<off_t>(size - sizeof tail)) != sizeof tail)
        return false;
    uint64_t directorySize = le(tail + 20 + 12, 4), directoryOffset = le(tail + 20 + 16, 4);
    if (le(tail, 4) == 0x07064b50) {
        uint8_t end64[56] = {};
        if (pread(fd, end64, sizeof end64, static_cast<off_t>(le(tail + 8, 8))) != sizeof end64) return false;
        directorySize = le(end64 + 40, 8);
        directoryOffset = le(end64 + 48, 8);
    }
    if (directoryOffset + directorySize > size) return false;
    std::vector<uint8_t> directory(static_cast<size_t>(directorySize));
    if (pread(fd, directory.data(), directory.size(), static_cast<off_t>(directoryOffset)) !=
        static_cast<ssize_t>(directory.size()))
        return false;
    for (size_t at = 0; at + 46 <= directory.size();) {
        uint8_t* header = directory.data() + at;
        if (le(header, 4) != 0x02014b50) return false;
        header[5] = 3;
        at += 46 + le(header + 28, 2) + le(header + 30, 2) + le(header + 32, 2);
    }
    return writeAll(fd, directory.data(), directory.size(), directoryOffset);
}

}  // namespace sevenzip
