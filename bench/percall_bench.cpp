// percall_bench.cpp - the per-file form of the benchmark: one SevenZip call per corpus file, all in
// this one process, as the tool makes them. Loads the built library by path, like the tool does.
//   usage: percall_bench LIBRARY CORPUS OUTDIR
// Writes OUTDIR/<n>.zip for the n-th file (sorted by path) and prints one line:
//   calls=N failed=F bytes=B seconds=S
// plus the fixed cost of a call measured on a one-byte file (overhead_ms=...).
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using SevenZipFn = int32_t (*)(void*, const char*, char*, int32_t);

namespace {

std::string command(const fs::path& archive, const fs::path& source) {
    return "a -tzip -hide -mx=9 -mfb=64 -mpass=4 \"" + archive.string() + "\" \"" +
           source.parent_path().string() + "/\" \"" + source.filename().string() + "\"";
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBRARY CORPUS OUTDIR\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    auto sevenZip = reinterpret_cast<SevenZipFn>(dlsym(library, "SevenZip"));
    if (sevenZip == nullptr) {
        std::fprintf(stderr, "no SevenZip in %s\n", argv[1]);
        return 2;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(argv[2]))
        if (entry.is_regular_file() && !entry.is_symlink()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    fs::path out = argv[3];
    fs::create_directories(out);

    std::vector<char> output(32767);
    size_t failed = 0;
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < files.size(); ++i) {
        std::string cmd = command(out / (std::to_string(i) + ".zip"), files[i]);
        if (sevenZip(nullptr, cmd.c_str(), output.data(), static_cast<int32_t>(output.size())) != 0) {
            ++failed;
            std::fprintf(stderr, "failed: %s\n%s\n", cmd.c_str(), output.data());
        }
    }
    double elapsed = seconds(std::chrono::steady_clock::now() - start);
    uintmax_t bytes = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        auto size = fs::file_size(out / (std::to_string(i) + ".zip"), ec);
        if (!ec) bytes += size;
    }

    // The fixed cost of one call: archive a one-byte file many times.
    fs::path tiny = out / "overhead-source";
    std::ofstream(tiny) << 'x';
    const int rounds = 200;
    auto overheadStart = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        fs::path archive = out / ("overhead-" + std::to_string(i) + ".zip");
        sevenZip(nullptr, command(archive, tiny).c_str(), output.data(), static_cast<int32_t>(output.size()));
    }
    double overhead = seconds(std::chrono::steady_clock::now() - overheadStart) / rounds;
    for (int i = 0; i < rounds; ++i) fs::remove(out / ("overhead-" + std::to_string(i) + ".zip"));
    fs::remove(tiny);

    std::printf("calls=%zu failed=%zu bytes=%ju seconds=%.3f overhead_ms=%.3f\n", files.size(), failed, bytes,
                elapsed, overhead * 1000);
    dlclose(library);
    return failed == 0 ? 0 : 1;
}
