// uri_list.cpp - text/uri-list encoding of local paths (see uri_list.h).
#include "uri_list.h"

namespace e2e {
namespace {

bool KeptAsIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

std::string FileUri(std::string_view absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + absolutePath.size() * 3);
    for (const char ch : absolutePath) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptAsIs(c)) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0x0F];
        }
    }
    return uri;
}

std::string UriList(const std::vector<std::string>& absolutePaths) {
    std::string list;
    for (const auto& path : absolutePaths) {
        list += FileUri(path);
        list += "\r\n";
    }
    return list;
}

}  // namespace e2e
