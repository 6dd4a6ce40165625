// archive_verify.cpp - ZIP end records, central and local headers, and every entry's data, checked.
#include "archive_verify.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "byte_order.h"
#include "failure.h"
#include "file_io.h"
#include "sevenzip32.h"

namespace sevenzip {
namespace {

// Entries up to this size are decompressed in one call by libdeflate (fast, needs the whole entry in
// memory twice over); larger ones are streamed through zlib's inflate so memory stays bounded: at most
// kMaxThreads * 2 * kWholeEntryLimit for the whole check.
constexpr uint64_t kWholeEntryLimit = 16ull << 20;
// Compressed bytes per verifying thread: below this, starting a thread costs more than it saves.
constexpr uint64_t kBytesPerThread = 4ull << 20;
constexpr size_t kMaxThreads = 8;
constexpr size_t kStreamChunk = 1 << 20;

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kLimit32 = 0xFFFFFFFFu;

[[noreturn]] void mismatch(const std::string& what) {
    throw Failure(SEVENZIP_E_VERIFY, what);
}

void readAt(io::Handle fd, uint8_t* data, size_t size, uint64_t offset) {
    size_t got = 0;
    if (const int err = io::readAt(fd, data, size, offset, got); err != 0)
        throw Failure(SEVENZIP_E_WRITE, systemMessage("reading the archive back", err));
    if (got < size) mismatch("the archive ends early");
}

std::vector<uint8_t> readVector(io::Handle fd, size_t size, uint64_t offset) {
    std::vector<uint8_t> data(size);
    readAt(fd, data.data(), size, offset);
    return data;
}

struct CentralRecord {
    std::string name;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t dosDateTime = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;
};

// Takes the 64-bit values of a ZIP64 extra field. Readers differ in how they match its values to the
// 32-bit fields that hold 0xFFFFFFFF (Info-ZIP's unzip mistakes them after an entry of exactly
// 0xFFFFFFFF bytes), so only the layout every reader agrees on passes: no ZIP64 field and no
// 0xFFFFFFFF, or a ZIP64 field holding every value of the header (central: uncompressed size,
// compressed size, local header offset; local: both sizes) with 0xFFFFFFFF in each of their 32-bit
// fields.
void applyZip64(const uint8_t* extra, size_t length, CentralRecord& record, bool central) {
    uint64_t* values[3] = {&record.size, &record.compressedSize, &record.localOffset};
    const size_t count = central ? 3 : 2;
    const bool anyMax = std::any_of(values, values + count, [](const uint64_t* v) { return *v == kLimit32; });
    for (size_t at = 0; at + 4 <= length;) {
        const uint16_t id = le16(extra + at);
        const uint16_t size = le16(extra + at + 2);
        if (at + 4 + size > length) mismatch("an extra field of " + record.name + " overruns its header");
        if (id == 0x0001) {
            if (size < 8 * count ||
                !std::all_of(values, values + count, [](const uint64_t* v) { return *v == kLimit32; }))
                mismatch("the ZIP64 field of " + record.name + " does not hold every value of its header");
            for (size_t i = 0; i < count; ++i) *values[i] = le64(extra + at + 4 + 8 * i);
            return;
        }
        at += 4 + size;
    }
    if (anyMax) mismatch("the ZIP64 field of " + record.name + " is missing");
}

uint32_t storedCrc(io::Handle fd, uint64_t offset, uint64_t size) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(size, kStreamChunk)));
    uLong crc = crc32(0, nullptr, 0);
    for (uint64_t done = 0; done < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        readAt(fd, chunk.data(), n, offset + done);
        crc = crc32_z(crc, chunk.data(), n);
        done += n;
    }
    return static_cast<uint32_t>(crc);
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// The CRC of an entry's decompressed data; throws unless it decompresses to exactly `size` bytes,
// using exactly its compressed bytes.
uint32_t deflatedCrc(io::Handle fd, const CentralRecord& record, uint64_t dataOffset,
                     libdeflate_decompressor* whole) {
    if (record.size <= kWholeEntryLimit &&
        record.compressedSize <= kWholeEntryLimit + (kWholeEntryLimit >> 4)) {
        const std::vector<uint8_t> in =
            readVector(fd, static_cast<size_t>(record.compressedSize), dataOffset);
        std::vector<uint8_t> out(static_cast<size_t>(record.size));
        size_t usedIn = 0, producedOut = 0;
        const libdeflate_result result = libdeflate_deflate_decompress_ex(
            whole, in.data(), in.size(), out.data(), out.size(), &usedIn, &producedOut);
        if (result != LIBDEFLATE_SUCCESS || usedIn != in.size() || producedOut != out.size())
            mismatch(record.name + ": the compressed data does not decompress to its size");
        return libdeflate_crc32(0, out.data(), out.size());
    }
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw Failure(SEVENZIP_E_INTERNAL, "inflateInit2 failed");
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);
    std::vector<uint8_t> in(kStreamChunk), out(kStreamChunk);
    uint64_t readSoFar = 0, produced = 0;
    uLong crc = crc32(0, nullptr, 0);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && readSoFar < record.compressedSize) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(in.size(), record.compressedSize - readSoFar));
            readAt(fd, in.data(), n, dataOffset + readSoFar);
            readSoFar += n;
            stream.next_in = in.data();
            stream.avail_in = static_cast<uInt>(n);
        }
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            mismatch(record.name + ": the compressed data is damaged");
        const size_t n = out.size() - stream.avail_out;
        crc = crc32_z(crc, out.data(), n);
        produced += n;
        if (status == Z_OK && n == 0 && stream.avail_in == 0 && readSoFar == record.compressedSize)
            mismatch(record.name + ": the compressed data ends early");
    }
    if (produced != record.size || readSoFar != record.compressedSize || stream.avail_in != 0)
        mismatch(record.name + ": the compressed data does not decompress to its size");
    return static_cast<uint32_t>(crc);
}

struct DataCheck {
    CentralRecord record;
    uint64_t dataOffset = 0;
    uint32_t crc = 0;
};

// Decompresses every entry and compares its CRC, on several threads when there is enough data to pay
// for them. The first failure is rethrown once every thread has stopped.
void checkData(io::Handle fd, const std::vector<DataCheck>& checks) {
    uint64_t total = 0;
    for (const DataCheck& check : checks) total += check.record.compressedSize;
    const size_t threads =
        std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), kMaxThreads, checks.size(),
                          static_cast<size_t>(total / kBytesPerThread) + 1});
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto work = [&] {
        try {
            std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
                libdeflate_alloc_decompressor());
            if (!decompressor) throw std::bad_alloc();
            for (size_t i = next++; i < checks.size() && !failed; i = next++) {
                const DataCheck& check = checks[i];
                const uint32_t crc =
                    check.record.method == 0
                        ? storedCrc(fd, check.dataOffset, check.record.compressedSize)
                        : deflatedCrc(fd, check.record, check.dataOffset, decompressor.get());
                if (crc != check.crc) mismatch(check.record.name + ": the data read back has another CRC");
            }
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failureLock);
            if (!failure) failure = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < threads; ++i) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

void verifyArchive(io::Handle fd, const std::vector<ExpectedEntry>& expected) {
    io::FileInfo st;
    if (const int err = io::statAt(fd, "", st, false); err != 0)
        throw Failure(SEVENZIP_E_WRITE, systemMessage("reading the archive back", err));
    const uint64_t fileSize = st.size;
    if (fileSize < 22) mismatch("the archive has no end record");

    // The end record has no comment, so it is the last 22 bytes.
    const std::vector<uint8_t> end = readVector(fd, 22, fileSize - 22);
    if (le32(end.data()) != kEndSignature) mismatch("the archive's end record is missing");
    uint64_t count = le16(end.data() + 10);
    uint64_t directorySize = le32(end.data() + 12);
    uint64_t directoryOffset = le32(end.data() + 16);
    if (count == 0xFFFF || directorySize == kLimit32 || directoryOffset == kLimit32) {
        if (fileSize < 22 + 20) mismatch("the ZIP64 end locator is missing");
        const std::vector<uint8_t> locator = readVector(fd, 20, fileSize - 22 - 20);
        if (le32(locator.data()) != kZip64LocatorSignature) mismatch("the ZIP64 end locator is missing");
        const std::vector<uint8_t> end64 = readVector(fd, 56, le64(locator.data() + 8));
        if (le32(end64.data()) != kZip64EndSignature) mismatch("the ZIP64 end record is missing");
        count = le64(end64.data() + 32);
        directorySize = le64(end64.data() + 40);
        directoryOffset = le64(end64.data() + 48);
    }
    if (count != expected.size())
        mismatch("the archive lists " + std::to_string(count) + " entries, not " +
                 std::to_string(expected.size()));
    if (directoryOffset + directorySize > fileSize) mismatch("the central directory overruns the archive");

    const std::vector<uint8_t> directory =
        readVector(fd, static_cast<size_t>(directorySize), directoryOffset);
    std::vector<DataCheck> checks;
    checks.reserve(expected.size());
    size_t at = 0;
    for (const ExpectedEntry& want : expected) {
        if (at + 46 > directory.size() || le32(directory.data() + at) != kCentralSignature)
            mismatch("the central directory ends before " + want.name);
        const uint8_t* h = directory.data() + at;
        const size_t nameLength = le16(h + 28), extraLength = le16(h + 30), commentLength = le16(h + 32);
        if (at + 46 + nameLength + extraLength + commentLength > directory.size())
            mismatch("the central header of " + want.name + " overruns the directory");
        CentralRecord record;
        record.name.assign(reinterpret_cast<const char*>(h + 46), nameLength);
        record.flags = le16(h + 8);
        record.method = le16(h + 10);
        record.dosDateTime = le32(h + 12);
        record.crc = le32(h + 16);
        record.compressedSize = le32(h + 20);
        record.size = le32(h + 24);
        record.localOffset = le32(h + 42);
        applyZip64(h + 46 + nameLength, extraLength, record, true);
        at += 46 + nameLength + extraLength + commentLength;

        if (record.name != want.name)
            mismatch("entry \"" + record.name + "\" stands where \"" + want.name + "\" belongs");
        if (record.size != want.size || record.crc != want.crc)
            mismatch(want.name + ": the central directory records another size or CRC");
        if (record.method != 0 && record.method != Z_DEFLATED) mismatch(want.name + ": unknown method");
        if (record.method == 0 && record.compressedSize != record.size)
            mismatch(want.name + ": a stored entry whose sizes differ");

        const std::vector<uint8_t> local = readVector(fd, 30, record.localOffset);
        if (le32(local.data()) != kLocalSignature) mismatch(want.name + ": the local header is missing");
        const size_t localName = le16(local.data() + 26), localExtra = le16(local.data() + 28);
        const std::vector<uint8_t> localTail =
            readVector(fd, localName + localExtra, record.localOffset + 30);
        if (std::string(reinterpret_cast<const char*>(localTail.data()), localName) != record.name ||
            le16(local.data() + 6) != record.flags || le16(local.data() + 8) != record.method ||
            le32(local.data() + 10) != record.dosDateTime || le32(local.data() + 14) != record.crc)
            mismatch(want.name + ": the local header disagrees with the central one");
        CentralRecord localRecord = record;
        localRecord.size = le32(local.data() + 22);
        localRecord.compressedSize = le32(local.data() + 18);
        applyZip64(localTail.data() + localName, localExtra, localRecord, false);
        if (localRecord.size != record.size || localRecord.compressedSize != record.compressedSize)
            mismatch(want.name + ": the local header records other sizes");
        const uint64_t dataOffset = record.localOffset + 30 + localName + localExtra;
        if (dataOffset + record.compressedSize > directoryOffset)
            mismatch(want.name + ": data overruns the directory");

        checks.push_back(DataCheck{std::move(record), dataOffset, want.crc});
    }
    if (at != directory.size()) mismatch("the central directory holds more than the expected entries");
    checkData(fd, checks);
}

}  // namespace sevenzip
