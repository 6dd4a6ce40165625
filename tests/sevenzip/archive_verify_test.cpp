// archive_verify_test.cpp - guards the read-back check that stands between a damaged archive and a
// result of 0: on real archives written by SevenZip, a flipped byte in any entry's data, a cut-off file,
// a wrong CRC or size, and a missing or extra entry must each be reported as a verification failure,
// while the intact archive passes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "archive_verify.h"
#include "failure.h"
#include "sevenzip32.h"
#include "sevenzip_test_support.h"

using namespace sztest;

namespace {

// A real archive of a small tree (a folder entry and three files), and what it must hold according to
// Python's zipfile.
struct Written {
    std::string path;
    std::vector<sevenzip::ExpectedEntry> expected;
};

Written writeArchive(const TempDir& dir) {
    writeFile(dir / "t/text.txt", textBytes(300000));
    writeFile(dir / "t/noise.bin", randomBytes(20000, 5));
    writeFile(dir / "t/sub/small.txt", "small");
    const std::string archive = dir / "t.zip";
    const CallResult result =
        sevenZip(kPrefix + " " + quoted(archive) + " " + quoted(dir / "t//") + " \"*.*\" \"-ir!*.*\"");
    EXPECT_EQ(result.code, 0) << result.output;
    Written written{archive, {}};
    for (const ZipEntryReport& entry : readWithPython(archive).entries)
        written.expected.push_back({entry.name, entry.size, entry.crc});
    return written;
}

// The result code verifyArchive gives for the file at path, 0 when it passes.
int32_t verifyCode(const std::string& path, const std::vector<sevenzip::ExpectedEntry>& expected) {
    const int fd = open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    int32_t code = 0;
    try {
        sevenzip::verifyArchive(fd, expected);
    } catch (const sevenzip::Failure& failure) {
        code = failure.code();
    }
    close(fd);
    return code;
}

void flipByte(const std::string& path, size_t offset) {
    std::string content = readFile(path);
    content[offset] = static_cast<char>(content[offset] ^ 0x01);  // bit 0 of a DEFLATE byte is never padding
    writeFile(path, content);
}

}  // namespace

TEST(ArchiveVerify, IntactArchivePasses) {
    TempDir dir;
    const Written written = writeArchive(dir);
    ASSERT_EQ(written.expected.size(), 4u);
    EXPECT_EQ(verifyCode(written.path, written.expected), 0);
}

TEST(ArchiveVerify, AFlippedByteInAnyEntrysDataIsCaught) {
    TempDir dir;
    const Written written = writeArchive(dir);
    const std::string intact = readFile(written.path);
    const auto le = [&](size_t at, int bytes) {
        size_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(intact[at + i]);
        return value;
    };
    // Walk the local headers (no ZIP64 here, sizes in place) and damage the first, middle and last
    // byte of each entry's data in turn.
    size_t entries = 0;
    for (size_t at = 0; intact.compare(at, 4, "PK\x03\x04") == 0; ++entries) {
        const size_t data = at + 30 + le(at + 26, 2) + le(at + 28, 2), size = le(at + 18, 4);
        for (size_t offset : {data, data + size / 2, data + size - 1}) {
            if (size == 0) break;
            writeFile(written.path, intact);
            flipByte(written.path, offset);
            EXPECT_EQ(verifyCode(written.path, written.expected), SEVENZIP_E_VERIFY)
                << "entry " << entries << " at " << offset;
        }
        at = data + size;
    }
    EXPECT_EQ(entries, written.expected.size());
}

TEST(ArchiveVerify, ACutOffArchiveIsCaught) {
    TempDir dir;
    const Written written = writeArchive(dir);
    const std::string intact = readFile(written.path);
    for (size_t cut : {size_t{1}, size_t{22}, size_t{100}, intact.size() / 2}) {
        writeFile(written.path, intact.substr(0, intact.size() - cut));
        EXPECT_EQ(verifyCode(written.path, written.expected), SEVENZIP_E_VERIFY) << cut;
    }
}

TEST(ArchiveVerify, ExpectationsThatDifferAreCaught) {
    TempDir dir;
    const Written written = writeArchive(dir);
    auto wrongCrc = written.expected;
    wrongCrc[1].crc ^= 1;
    EXPECT_EQ(verifyCode(written.path, wrongCrc), SEVENZIP_E_VERIFY);
    auto wrongSize = written.expected;
    wrongSize[2].size += 1;
    EXPECT_EQ(verifyCode(written.path, wrongSize), SEVENZIP_E_VERIFY);
    auto missing = written.expected;
    missing.pop_back();
    EXPECT_EQ(verifyCode(written.path, missing), SEVENZIP_E_VERIFY);
    auto extra = written.expected;
    extra.push_back({"more.txt", 0, 0});
    EXPECT_EQ(verifyCode(written.path, extra), SEVENZIP_E_VERIFY);
    auto renamed = written.expected;
    renamed[0].name += "x";
    EXPECT_EQ(verifyCode(written.path, renamed), SEVENZIP_E_VERIFY);
}
