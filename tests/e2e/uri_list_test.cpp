// uri_list_test.cpp - guards the text/uri-list the drag source offers: every byte of a path, whatever
// it is, must reach the drop target unchanged and unambiguous (no raw separator, space or control byte
// left in a URI; lines in order, each ended by CRLF).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uri_list.h"

namespace {

// A decoder written for this test alone, so the encoder is checked against something it did not make.
std::string Unpercent(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(FileUri, EncodesEveryByteThatCouldChangeTheUrisMeaning) {
    const struct {
        const char* path;
        const char* uri;
    } cases[] = {
        {"/tmp/A-z_0.9~/x", "file:///tmp/A-z_0.9~/x"},  // unreserved bytes and the separator stay
        {"/a b", "file:///a%20b"},
        {"/100%", "file:///100%25"},
        {"/x#y?z", "file:///x%23y%3Fz"},
        {"/q\"*", "file:///q%22%2A"},
        {"/a\r\nb", "file:///a%0D%0Ab"},                          // one name never becomes two lines
        {"/\xE6\x97\xA5 caf\xE9", "file:///%E6%97%A5%20caf%E9"},  // UTF-8 or not, byte by byte
    };
    for (const auto& c : cases) EXPECT_EQ(e2e::FileUri(c.path), c.uri) << "path " << c.path;
}

TEST(FileUri, EveryByteValueSurvivesTheRoundTrip) {
    std::string path = "/";
    for (int b = 1; b < 256; ++b) path += static_cast<char>(b);
    const std::string uri = e2e::FileUri(path);
    ASSERT_EQ(uri.rfind("file://", 0), 0u);
    for (const char c : uri) {
        const auto u = static_cast<unsigned char>(c);
        EXPECT_TRUE(u > 0x20 && u < 0x7F) << "raw byte " << int(u) << " left in the URI";
    }
    EXPECT_EQ(Unpercent(uri.substr(7)), path);
}

TEST(UriList, OneLinePerPathInOrderEachEndedByCrlf) {
    EXPECT_EQ(e2e::UriList({"/b", "/a c", "/d"}), "file:///b\r\nfile:///a%20c\r\nfile:///d\r\n");
    EXPECT_EQ(e2e::UriList({}), "");
}

}  // namespace
