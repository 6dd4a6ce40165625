// zip_end_records.cpp - corrections made to minizip's output after it closes the archive.
#include "zip_end_records.h"

#include <vector>

#include "byte_order.h"
#include "file_io.h"

namespace sevenzip {
namespace {

bool writeAll(io::Handle fd, const uint8_t* data, size_t size, uint64_t offset) {
    return io::writeAt(fd, data, size, offset) == 0;
}

bool readAll(io::Handle fd, uint8_t* data, size_t size, uint64_t offset) {
    size_t got = 0;
    return io::readAt(fd, data, size, offset, got) == 0 && got == size;
}

}  // namespace

bool addZip64EndRecords(io::Handle fd, uint64_t& size, uint64_t entryCount) {
    uint8_t tail[42] = {};
    if (size < sizeof tail || !readAll(fd, tail, sizeof tail, size - sizeof tail)) return false;
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
    return io::truncateTo(fd, size) == 0;
}

bool restoreUnixOrigin(io::Handle fd, uint64_t size) {
    uint8_t tail[42] = {};
    if (size < sizeof tail || !readAll(fd, tail, sizeof tail, size - sizeof tail)) return false;
    uint64_t directorySize = le32(tail + 20 + 12), directoryOffset = le32(tail + 20 + 16);
    if (le32(tail) == 0x07064b50) {
        uint8_t end64[56] = {};
        if (!readAll(fd, end64, sizeof end64, le64(tail + 8))) return false;
        directorySize = le64(end64 + 40);
        directoryOffset = le64(end64 + 48);
    }
    if (directoryOffset + directorySize > size) return false;
    std::vector<uint8_t> directory(static_cast<size_t>(directorySize));
    if (!readAll(fd, directory.data(), directory.size(), directoryOffset)) return false;
    for (size_t at = 0; at + 46 <= directory.size();) {
        uint8_t* header = directory.data() + at;
        if (le32(header) != 0x02014b50) return false;
        header[5] = 3;
        at += 46 + size_t{le16(header + 28)} + le16(header + 30) + le16(header + 32);
    }
    return writeAll(fd, directory.data(), directory.size(), directoryOffset);
}

}  // namespace sevenzip
