// zip_writer.cpp - minizip raw-mode entries over a buffered file descriptor, with our own extra fields.
#include "zip_writer.h"

#include <zip.h>

#include <ctime>
#include <vector>

#include <zlib.h>

#include "byte_order.h"
#include "failure.h"
#include "file_io.h"
#include "sevenzip32.h"
#include "utf8.h"
#include "zip_end_records.h"

namespace sevenzip {
namespace {

// Bytes gathered before a write() call: minizip writes headers a few bytes at a time, data in pieces.
constexpr size_t kWriteBuffer = 1 << 20;

constexpr uint64_t kLimit32 = 0xFFFFFFFFull;

// The descriptor minizip writes through. Writes are buffered; a seek flushes first. The first error
// is kept and reported by every later call.
struct FdStream {
    io::Handle fd = io::kNoHandle;
    uint64_t position = 0;     // where the next byte goes
    uint64_t bufferStart = 0;  // file offset of buffer[0]
    std::vector<uint8_t> buffer;
    int error = 0;

    bool writeAt(const uint8_t* data, size_t size, uint64_t offset) {
        if (error == 0) error = io::writeAt(fd, data, size, offset);
        return error == 0;
    }

    bool flush() {
        const bool ok = writeAt(buffer.data(), buffer.size(), bufferStart);
        buffer.clear();
        bufferStart = position;
        return ok;
    }

    bool write(const uint8_t* data, size_t size) {
        if (error != 0) return false;
        if (buffer.size() + size > kWriteBuffer && !flush()) return false;
        if (size >= kWriteBuffer) {  // large data goes straight to the file
            if (!writeAt(data, size, position)) return false;
            position += size;
            bufferStart = position;
            return true;
        }
        if (buffer.empty()) bufferStart = position;
        buffer.insert(buffer.end(), data, data + size);
        position += size;
        return true;
    }
};

voidpf streamOpen(voidpf opaque, const void*, int) {
    return opaque;
}

uLong streamRead(voidpf, voidpf, void*, uLong) {
    return 0;
}  // never called when creating

uLong streamWrite(voidpf, voidpf stream, const void* data, uLong size) {
    return static_cast<FdStream*>(stream)->write(static_cast<const uint8_t*>(data), size) ? size : 0;
}

ZPOS64_T streamTell(voidpf, voidpf stream) {
    return static_cast<FdStream*>(stream)->position;
}

long streamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<FdStream*>(stream);
    if (!s->flush()) return -1;
    if (origin == ZLIB_FILEFUNC_SEEK_SET)
        s->position = offset;
    else if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        s->position += offset;
    else
        return -1;  // minizip seeks from the end only when reading
    s->bufferStart = s->position;
    return 0;
}

int streamClose(voidpf, voidpf stream) {
    return static_cast<FdStream*>(stream)->flush() ? 0 : -1;
}

int streamError(voidpf, voidpf stream) {
    return static_cast<FdStream*>(stream)->error;
}

bool isAscii(const std::string& name) {
    for (unsigned char c : name)
        if (c >= 0x80) return false;
    return true;
}

// The MS-DOS date and time of a Unix time, in local time, clamped to the range the field can hold.
uLong dosDateTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr || local.tm_year < 80)
        return (1u << 21) | (1u << 16);  // 1980-01-01
    if (local.tm_year > 207) return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<uLong>(local.tm_year - 80) << 25) | (static_cast<uLong>(local.tm_mon + 1) << 21) |
           (static_cast<uLong>(local.tm_mday) << 16) | (static_cast<uLong>(local.tm_hour) << 11) |
           (static_cast<uLong>(local.tm_min) << 5) | static_cast<uLong>(local.tm_sec / 2);
}

// The extended-timestamp extra field (0x5455) with the modification time only, or nothing when the
// time is before 1970 or after 2038-01-19: the field is defined as a signed 32-bit Unix time, but
// libarchive reads it unsigned (1969 becomes 2105) and Info-ZIP's unzip varies, so only the range
// where both readings agree is written. Outside it, readers fall back to the DOS time.
std::vector<uint8_t> timestampField(int64_t seconds) {
    if (seconds < 0 || seconds > INT32_MAX) return {};
    const auto value = static_cast<uint32_t>(seconds);
    return {0x55,
            0x54,
            5,
            0,
            1,
            static_cast<uint8_t>(value),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

}  // namespace

bool needsZip64Header(uint64_t rawSize, bool stored) {
    // Stored data is the content itself. DEFLATE can grow incompressible data by a few bytes per block;
    // a margin of 1/256 plus 1 MiB covers that with room to spare.
    const uint64_t bound = stored ? rawSize : rawSize + rawSize / 256 + (1u << 20);
    return bound >= kLimit32;
}

struct ZipWriter::Impl {
    FdStream stream;
    zipFile zip = nullptr;
    int level = 9;
    uint64_t entryCount = 0;
    bool anyZip64 = false;  // an entry with a ZIP64 field: minizip then records it as made by MS-DOS
    bool entryOpen = false;
    bool entryZip64 = false;
    uint64_t entryCompressed = 0;
    uint64_t entryLocalHeader = 0;  // file offsets of the entry's local header and of its ZIP64 field
    uint64_t entryZip64Field = 0;
    std::string entryName;

    [[noreturn]] void fail(const std::string& what) const {
        if (stream.error != 0) throw Failure(SEVENZIP_E_WRITE, systemMessage(what, stream.error));
        throw Failure(SEVENZIP_E_WRITE, what);
    }

    void open(const SelectedEntry& entry, const std::string& name, int method, bool zip64) {
        zip_fileinfo info{};
        info.dosDate = dosDateTime(entry.identity.mtimeSec);
        info.external_fa =
            (static_cast<uLong>(entry.mode & 0xFFFF) << 16) | (entry.kind == EntryKind::Folder ? 0x10u : 0u);
        const std::vector<uint8_t> extra = timestampField(entry.identity.mtimeSec);
        const uLong flags = (!isAscii(name) && isValidUtf8(name)) ? (1u << 11) : 0u;
        if (name.size() > 0xFFFF)
            throw Failure(SEVENZIP_E_WRITE, "name too long for a ZIP entry: " + entry.name);
        const uLong versionMadeBy = (3u << 8) | 20u;  // Unix, ZIP 2.0
        // minizip writes the local ZIP64 field after the name and the caller's extra fields.
        entryLocalHeader = stream.position;
        entryZip64Field = entryLocalHeader + 30 + name.size() + extra.size();
        const int result = zipOpenNewFileInZip4_64(
            zip, name.c_str(), &info, extra.empty() ? nullptr : extra.data(), static_cast<uInt>(extra.size()),
            extra.empty() ? nullptr : extra.data(), static_cast<uInt>(extra.size()), nullptr, method,
            method == 0 ? 0 : level, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
            versionMadeBy, flags, zip64 ? 1 : 0);
        if (result != ZIP_OK) fail("cannot add entry " + entry.name);
        entryOpen = true;
        ++entryCount;
        entryZip64 = zip64;
        anyZip64 = anyZip64 || zip64 || stream.position >= kLimit32;
        entryCompressed = 0;
        entryName = entry.name;
    }

    void write(const uint8_t* data, size_t size) {
        entryCompressed += size;
        if (!entryZip64 && entryCompressed >= kLimit32)
            throw Failure(SEVENZIP_E_WRITE, "entry " + entryName + " grew past 4 GiB when compressed");
        while (size > 0) {
            const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
            if (zipWriteInFileInZip(zip, data, chunk) != ZIP_OK) fail("cannot write entry " + entryName);
            data += chunk;
            size -= chunk;
        }
    }

    void close(uint64_t rawSize, uint32_t crc) {
        entryOpen = false;
        if (zipCloseFileInZipRaw64(zip, rawSize, crc) != ZIP_OK) fail("cannot close entry " + entryName);
        if (entryZip64) writeLocalZip64(rawSize);
    }

    // A local header opened with a ZIP64 field gets both sizes there and 0xFFFFFFFF in both 32-bit
    // fields, whatever the sizes turned out to be: minizip fills the field only when the uncompressed
    // size passes 4 GiB, leaving zeros where only the compressed size does.
    void writeLocalZip64(uint64_t rawSize) {
        std::vector<uint8_t> slots, field;
        putLittleEndian(slots, kLimit32, 4);
        putLittleEndian(slots, kLimit32, 4);
        putLittleEndian(field, rawSize, 8);
        putLittleEndian(field, entryCompressed, 8);
        if (!stream.flush() || !stream.writeAt(slots.data(), slots.size(), entryLocalHeader + 18) ||
            !stream.writeAt(field.data(), field.size(), entryZip64Field + 4))
            fail("cannot close entry " + entryName);
    }
};

ZipWriter::ZipWriter(io::Handle fd, int level) : impl_(std::make_unique<Impl>()) {
    impl_->stream.fd = fd;
    impl_->level = level;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = streamOpen;
    functions.zread_file = streamRead;
    functions.zwrite_file = streamWrite;
    functions.ztell64_file = streamTell;
    functions.zseek64_file = streamSeek;
    functions.zclose_file = streamClose;
    functions.zerror_file = streamError;
    functions.opaque = &impl_->stream;
    impl_->zip = zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &functions);
    if (impl_->zip == nullptr) impl_->fail("cannot start the archive");
}

ZipWriter::~ZipWriter() {
    // An unfinished archive is abandoned: minizip's handle is released by closing it; what it writes
    // goes to a file the caller removes.
    if (impl_->zip != nullptr) {
        if (impl_->entryOpen) zipCloseFileInZipRaw64(impl_->zip, 0, 0);
        zipClose(impl_->zip, nullptr);
    }
}

void ZipWriter::addFolder(const SelectedEntry& entry) {
    impl_->open(entry, entry.name + "/", 0, false);
    impl_->close(0, 0);
}

void ZipWriter::addLink(const SelectedEntry& entry) {
    const auto* data = reinterpret_cast<const uint8_t*>(entry.linkTarget.data());
    const uInt size = static_cast<uInt>(entry.linkTarget.size());
    impl_->open(entry, entry.name, 0, false);
    impl_->write(data, size);
    impl_->close(size, static_cast<uint32_t>(crc32(0, data, size)));
}

void ZipWriter::openFile(const SelectedEntry& entry, bool stored) {
    impl_->open(entry, entry.name, stored ? 0 : Z_DEFLATED, needsZip64Header(entry.identity.size, stored));
}

void ZipWriter::writeData(const uint8_t* data, size_t size) {
    impl_->write(data, size);
}

void ZipWriter::closeFile(uint64_t rawSize, uint32_t crc) {
    impl_->close(rawSize, crc);
}

void ZipWriter::finish() {
    zipFile zip = impl_->zip;
    impl_->zip = nullptr;
    if (zipClose(zip, nullptr) != ZIP_OK || impl_->stream.error != 0)
        impl_->fail("cannot finish the archive");
    if ((impl_->entryCount >= 0xFFFF || impl_->anyZip64) &&
        !rewriteDirectory(impl_->stream.fd, impl_->stream.position, impl_->entryCount))
        impl_->fail("cannot finish the archive");
}

}  // namespace sevenzip
