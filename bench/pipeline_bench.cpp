// pipeline_bench.cpp - pushes every file of a folder through the compression pipeline alone (no ZIP
// container), to tune levels and piece sizes: prints the DEFLATE bytes delivered and the wall time.
//   usage: pipeline_bench FOLDER [-mx=N] [-threads=N] [-per-file]
// -per-file makes one pipeline per file, as one archiver call per file does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "deflate_pipeline.h"

namespace fs = std::filesystem;

namespace {

bool list(const fs::path& path, sevenzip::SourceFile& file) {
    sevenzip::io::FileInfo info;
    if (sevenzip::io::statAt(sevenzip::io::kCurrentFolder, path.string(), info, false) != 0 ||
        info.kind != sevenzip::io::Kind::File)
        return false;
    file.path = path.string();
    file.identity = sevenzip::io::identityOf(info);
    return true;
}

struct Totals {
    uint64_t raw = 0, packed = 0, stored = 0, errors = 0;
};

void drain(sevenzip::DeflatePipeline& pipeline, size_t count, Totals& totals) {
    for (size_t i = 0; i < count; ++i) {
        for (;;) {
            sevenzip::Piece p = pipeline.next();
            totals.packed += p.bytes.size();
            if (p.stored) ++totals.stored;
            if (p.error != 0) {
                ++totals.errors;
                std::fprintf(stderr, "%s\n", p.message.c_str());
            }
            if (p.last) {
                totals.raw += p.rawSize;
                break;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [-mx=N] [-threads=N] [-per-file]\n", argv[0]);
        return 2;
    }
    sevenzip::CompressionOptions options;
    options.level = 9;
    bool perFile = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strncmp(argv[i], "-mx=", 4) == 0)
            options.level = std::atoi(argv[i] + 4);
        else if (std::strncmp(argv[i], "-threads=", 9) == 0)
            options.threads = static_cast<unsigned>(std::atoi(argv[i] + 9));
        else if (std::strcmp(argv[i], "-per-file") == 0)
            perFile = true;
    }
    std::vector<sevenzip::SourceFile> files;
    fs::path root = argv[1];
    if (fs::is_regular_file(root)) {
        sevenzip::SourceFile f;
        if (list(root, f)) files.push_back(f);
    } else {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            sevenzip::SourceFile f;
            if (list(entry.path(), f)) files.push_back(f);
        }
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.path < b.path; });

    Totals totals;
    auto start = std::chrono::steady_clock::now();
    if (perFile) {
        for (const auto& f : files) {
            sevenzip::DeflatePipeline pipeline(options);
            pipeline.add(f);
            drain(pipeline, 1, totals);
        }
    } else {
        sevenzip::DeflatePipeline pipeline(options);
        for (const auto& f : files) pipeline.add(f);
        drain(pipeline, files.size(), totals);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("files=%zu raw=%ju packed=%ju stored=%ju errors=%ju seconds=%.3f\n", files.size(),
                static_cast<uintmax_t>(totals.raw), static_cast<uintmax_t>(totals.packed),
                static_cast<uintmax_t>(totals.stored), static_cast<uintmax_t>(totals.errors), seconds);
    return totals.errors == 0 ? 0 : 1;
}
