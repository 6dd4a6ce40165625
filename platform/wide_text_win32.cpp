// wide_text_win32.cpp - strict conversions between UTF-8, UTF-16 and the ANSI code page.
#include "wide_text.h"

#include <windows.h>

#include <climits>

namespace {

bool HoldsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}
bool HoldsNul(std::wstring_view text) {
    return text.find(L'\0') != std::wstring_view::npos;
}

// True when every surrogate in `wide` is part of a high-low pair.
bool SurrogatesPaired(std::wstring_view wide) {
    for (size_t at = 0; at < wide.size(); ++at) {
        if (IS_LOW_SURROGATE(wide[at])) return false;
        if (IS_HIGH_SURROGATE(wide[at])) {
            if (at + 1 == wide.size() || !IS_LOW_SURROGATE(wide[at + 1])) return false;
            ++at;
        }
    }
    return true;
}

// `text` (bytes in `codePage`) as UTF-16; nullopt when a byte sequence is not valid in the code page.
std::optional<std::wstring> WideFrom(UINT codePage, std::string_view text) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX || HoldsNul(text)) return std::nullopt;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length)
        return std::nullopt;
    // The decoders of some systems let an encoded surrogate through; it is not text either way.
    if (!SurrogatesPaired(wide)) return std::nullopt;
    return wide;
}

// `wide` in `codePage`; nullopt when a character has no exact form there.
std::optional<std::string> BytesFrom(UINT codePage, std::wstring_view wide) {
    if (wide.empty()) return std::string();
    if (wide.size() > INT_MAX || HoldsNul(wide) || !SurrogatesPaired(wide)) return std::nullopt;
    const int size = static_cast<int>(wide.size());
    // UTF-8 carries every paired text; the flag and the default-character report are for other code
    // pages only (the system refuses them with CP_UTF8).
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const report = utf8 ? nullptr : &usedDefault;
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, report);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr, report) !=
            length ||
        usedDefault)
        return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view utf8) {
    return WideFrom(CP_UTF8, utf8);
}

std::optional<std::string> Utf8FromWide(std::wstring_view wide) {
    return BytesFrom(CP_UTF8, wide);
}

std::optional<std::string> AnsiFromUtf8(std::string_view utf8) {
    const std::optional<std::wstring> wide = WideFromUtf8(utf8);
    if (!wide) return std::nullopt;
    // The code page by number: a system whose ANSI code page is UTF-8 then takes the UTF-8 path.
    const UINT codePage = GetACP();
    std::optional<std::string> ansi = BytesFrom(codePage, *wide);
    // A code page may map a character to bytes without reporting a default character yet read those
    // bytes back as another character; only a text that reads back as itself is exact.
    if (!ansi || WideFrom(codePage, *ansi) != wide) return std::nullopt;
    return ansi;
}

std::optional<std::string> Utf8FromAnsi(std::string_view ansi) {
    const std::optional<std::wstring> wide = WideFrom(GetACP(), ansi);
    if (!wide) return std::nullopt;
    return Utf8FromWide(*wide);
}
