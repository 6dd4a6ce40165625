// utf8.h - UTF-8 character boundaries, for names whose bytes may or may not be UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sevenzip {

// The length (1..4) of the valid UTF-8 character at the start of text, or 0 when text is empty or does
// not start with one. Overlong forms, surrogates and values past U+10FFFF are not valid.
inline size_t utf8CharLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    uint32_t value = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, value = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, value = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, value = lead & 0x07u;
    else
        return 0;
    if (text.size() < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

inline bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8CharLength(text.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace sevenzip
