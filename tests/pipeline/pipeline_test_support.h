// pipeline_test_support.h - real temporary files, their listing, a full run of the pipeline, and an
// independent DEFLATE decoder (zlib) to check what it delivered.
#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "deflate_pipeline.h"

namespace pipeline_test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its contents when the test ends.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pakuto-pipeline-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline void appendFile(const std::string& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot append to " + path);
}

// What the archiver's file selection records for a file: lstat, as the walk does not follow links.
inline sevenzip::SourceFile listFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    sevenzip::SourceFile f;
    f.path = path;
    f.identity = sevenzip::io::identityOf(st);
    return f;
}

// Text with the repetition of real source code: words from a small vocabulary, lines of varying length.
inline Bytes textLike(size_t size, uint32_t seed) {
    static const char* words[] = {"template", "typename", "const", "return",   "std::vector", "size_t",
                                  "if",       "else",     "for",   "while",    "namespace",   "struct",
                                  "{",        "}",        "(",     ");",       "value",       "iterator",
                                  "operator", "noexcept", "//",    "allocator"};
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(size + 32);
    while (out.size() < size) {
        const char* w = words[rng() % (sizeof(words) / sizeof(words[0]))];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
        out.push_back(rng() % 7 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

inline Bytes randomBytes(size_t size, uint32_t seed) {
    std::mt19937_64 rng(seed);
    Bytes out(size);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t v = rng();
        std::memcpy(out.data() + i, &v, 8);
    }
    for (; i < size; ++i) out[i] = static_cast<uint8_t>(rng());
    return out;
}

inline uint32_t zlibCrc(const Bytes& data) {
    return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

// One file as the writer sees it: its pieces joined, and what the last piece said.
struct Delivered {
    Bytes bytes;
    bool stored = false;
    size_t pieces = 0;
    uint32_t crc = 0;
    uint64_t rawSize = 0;
    int error = 0;
    std::string message;
};

// Adds every file, then collects pieces as the ZIP writer does, stopping at the first error.
inline std::vector<Delivered> runPipeline(const std::vector<sevenzip::SourceFile>& files,
                                          const sevenzip::CompressionOptions& options) {
    sevenzip::DeflatePipeline pipeline(options);
    for (const auto& f : files) pipeline.add(f);
    std::vector<Delivered> out;
    for (size_t i = 0; i < files.size(); ++i) {
        Delivered d;
        for (;;) {
            sevenzip::Piece p = pipeline.next();
            ++d.pieces;
            d.bytes.insert(d.bytes.end(), p.bytes.begin(), p.bytes.end());
            if (p.stored) d.stored = true;
            if (p.error != 0) {
                d.error = p.error;
                d.message = p.message;
                break;
            }
            if (p.last) {
                d.crc = p.crc;
                d.rawSize = p.rawSize;
                break;
            }
        }
        out.push_back(std::move(d));
        if (out.back().error != 0) break;
    }
    return out;
}

// Decodes one complete raw DEFLATE stream with zlib; nullopt unless the stream is valid, ends with a
// final block and has no bytes after it.
inline std::optional<Bytes> inflateRaw(const Bytes& stream) {
    z_stream s{};
    if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return std::nullopt;
    s.next_in = const_cast<Bytef*>(stream.data());
    s.avail_in = static_cast<uInt>(stream.size());
    Bytes out;
    uint8_t chunk[1 << 16];
    int result;
    do {
        s.next_out = chunk;
        s.avail_out = sizeof(chunk);
        result = inflate(&s, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof(chunk) - s.avail_out));
    } while (result == Z_OK);
    bool complete = result == Z_STREAM_END && s.avail_in == 0;
    inflateEnd(&s);
    if (!complete) return std::nullopt;
    return out;
}

// The content a delivered file stands for: stored bytes as they are, DEFLATE bytes decoded.
inline std::optional<Bytes> contentOf(const Delivered& d) {
    if (d.stored) return d.bytes;
    return inflateRaw(d.bytes);
}

}  // namespace pipeline_test
