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

TEST(FileUri, KeepsUnreservedBytesAndTheSeparator) {
    EXPECT_EQ(e2e::FileUri("/tmp/A-z_0.9~/x"), "file:///tmp/A-z_0.9~/x");
}

TEST(FileUri, EncodesCharactersThatWouldChangeTheUrisMeaning) {
    EXPECT_EQ(e2e::FileUri("/a b"), "file:///a%20b");
    EXPECT_EQ(e2e::FileUri("/100%"), "file:///100%25");
    EXPECT_EQ(e2e::FileUri("/x#y?z"), "file:///x%23y%3Fz");
    EXPECT_EQ(e2e::FileUri("/q\"*"), "file:///q%22%2A");
}

TEST(FileUri, EncodesLineBreaksSoOneNameCannotBecomeTwoLines) {
    EXPECT_EQ(e2e::FileUri("/a\r\nb"), "file:///a%0D%0Ab");
}

TEST(FileUri, EncodesUtf8AndNonUtf8BytesOneByOne) {
    EXPECT_EQ(e2e::FileUri("/\xE6\x97\xA5"), "file:///%E6%97%A5");  // 日
    EXPECT_EQ(e2e::FileUri("/caf\xE9"), "file:///caf%E9");
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
    const std::vector<std::string> paths = {"/b", "/a c", "/d"};
    EXPECT_EQ(e2e::UriList(paths), "file:///b\r\nfile:///a%20c\r\nfile:///d\r\n");
}

TEST(UriList, EmptyListIsEmpty) {
    EXPECT_EQ(e2e::UriList({}), "");
}

}  // namespace
