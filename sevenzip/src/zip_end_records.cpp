// zip_end_records.cpp - the central directory and end records, rebuilt from minizip's.
#include "zip_end_records.h"

#include <algorithm>
#include <vector>

#include "byte_order.h"
#include "file_io.h"

namespace sevenzip {
namespace {

constexpr uint64_t kLimit32 = 0xFFFFFFFFull;
constexpr uint64_t kLimit16 = 0xFFFFull;

bool readAll(io::Handle fd, uint8_t* data, size_t size, uint64_t offset) {
    size_t got = 0;
    return io::readAt(fd, data, size, offset, got) == 0 && got == size;
}

// One central header rebuilt: host Unix, ZIP64 field as described in the header file. Returns false
// when the header is malformed.
bool rebuildHeader(const uint8_t* header, size_t length, std::vector<uint8_t>& out) {
    const size_t nameLength = le16(header + 28), extraLength = le16(header + 30);
    const uint8_t* extra = header + 46 + nameLength;
    uint64_t values[3] = {le32(header + 24), le32(header + 20), le32(header + 42)};
    std::vector<uint8_t> otherFields;
    for (size_t at = 0; at + 4 <= extraLength;) {
        const size_t id = le16(extra + at), fieldSize = le16(extra + at + 2);
        if (at + 4 + fieldSize > extraLength) return false;
        if (id == 0x0001) {
            size_t next = at + 4;
            for (uint64_t& value : values) {
                if (value != kLimit32) continue;
                if (next + 8 > at + 4 + fieldSize) return false;
                value = le64(extra + next);
                next += 8;
            }
        } else {
            otherFields.insert(otherFields.end(), extra + at, extra + at + 4 + fieldSize);
        }
        at += 4 + fieldSize;
    }
    const bool zip64 =
        std::any_of(std::begin(values), std::end(values), [](uint64_t v) { return v >= kLimit32; });
    if (zip64) {
        putLittleEndian(otherFields, 0x0001, 2);
        putLittleEndian(otherFields, 24, 2);
        for (uint64_t value : values) putLittleEndian(otherFields, value, 8);
    }
    if (otherFields.size() > kLimit16) return false;

    const size_t start = out.size();
    out.insert(out.end(), header, header + 46 + nameLength);
    out.insert(out.end(), otherFields.begin(), otherFields.end());
    out.insert(out.end(), extra + extraLength, header + length);  // the comment
    uint8_t* h = out.data() + start;
    h[5] = 3;  // made on Unix
    if (zip64) {
        h[4] = 45;  // ZIP 4.5, which has ZIP64
        storeLittleEndian(h + 6, 45, 2);
    }
    storeLittleEndian(h + 20, zip64 ? kLimit32 : values[1], 4);
    storeLittleEndian(h + 24, zip64 ? kLimit32 : values[0], 4);
    storeLittleEndian(h + 30, otherFields.size(), 2);
    storeLittleEndian(h + 42, zip64 ? kLimit32 : values[2], 4);
    return true;
}

}  // namespace

bool rewriteDirectory(io::Handle fd, uint64_t& size, uint64_t entryCount) {
    uint8_t tail[42] = {};
    if (size < sizeof tail || !readAll(fd, tail, sizeof tail, size - sizeof tail)) return false;
    if (le32(tail + 20) != 0x06054b50) return false;
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

    std::vector<uint8_t> records;
    records.reserve(static_cast<size_t>(directory.size() + entryCount * 28 + 98));
    uint64_t count = 0;
    for (size_t at = 0; at < directory.size(); ++count) {
        if (at + 46 > directory.size() || le32(directory.data() + at) != 0x02014b50) return false;
        const uint8_t* header = directory.data() + at;
        const size_t length = 46 + size_t{le16(header + 28)} + le16(header + 30) + le16(header + 32);
        if (at + length > directory.size() || !rebuildHeader(header, length, records)) return false;
        at += length;
    }
    if (count != entryCount) return false;

    const uint64_t newSize = records.size();
    const uint64_t recordOffset = directoryOffset + newSize;
    if (entryCount >= kLimit16 || newSize >= kLimit32 || directoryOffset >= kLimit32) {
        putLittleEndian(records, 0x06064b50, 4);       // ZIP64 end of central directory record
        putLittleEndian(records, 44, 8);               // its size after this field
        putLittleEndian(records, (3u << 8) | 45u, 2);  // made by Unix, ZIP 4.5
        putLittleEndian(records, 45, 2);               // needed to extract
        putLittleEndian(records, 0, 4);                // this disk
        putLittleEndian(records, 0, 4);                // disk of the central directory
        putLittleEndian(records, entryCount, 8);       // entries on this disk
        putLittleEndian(records, entryCount, 8);       // entries in all
        putLittleEndian(records, newSize, 8);
        putLittleEndian(records, directoryOffset, 8);
        putLittleEndian(records, 0x07064b50, 4);  // ZIP64 end locator
        putLittleEndian(records, 0, 4);           // disk of the ZIP64 end record
        putLittleEndian(records, recordOffset, 8);
        putLittleEndian(records, 1, 4);  // disks in all
    }
    putLittleEndian(records, 0x06054b50, 4);                      // end of central directory record
    putLittleEndian(records, 0, 4);                               // disk numbers
    putLittleEndian(records, std::min(entryCount, kLimit16), 2);  // entry counts (0xFFFF: see ZIP64)
    putLittleEndian(records, std::min(entryCount, kLimit16), 2);
    putLittleEndian(records, std::min(newSize, kLimit32), 4);
    putLittleEndian(records, std::min(directoryOffset, kLimit32), 4);
    putLittleEndian(records, 0, 2);  // no comment
    if (io::writeAt(fd, records.data(), records.size(), directoryOffset) != 0) return false;
    size = directoryOffset + records.size();
    return io::truncateTo(fd, size) == 0;
}

}  // namespace sevenzip
