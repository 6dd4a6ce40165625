// byte_order.h - the little-endian integers of the ZIP format, read from byte buffers, stored into them and
// appended to them.
#pragma once

#include <cstdint>
#include <vector>

namespace sevenzip {

inline uint64_t readLittleEndian(const uint8_t* p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}
inline uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(readLittleEndian(p, 2));
}
inline uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(readLittleEndian(p, 4));
}
inline uint64_t le64(const uint8_t* p) {
    return readLittleEndian(p, 8);
}

inline void storeLittleEndian(uint8_t* at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void putLittleEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(bytes));
    storeLittleEndian(out.data() + at, value, bytes);
}

}  // namespace sevenzip
