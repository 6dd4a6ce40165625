// library_tree.h - what the library's tests share: one call of the library, and a source tree with a
// folder for the archive.
#pragma once

#include <string>
#include <vector>

#include "sevenzip32.h"
#include "support.h"

namespace ts {

// One call with the command given as UTF-8 (handed over in the platform's command encoding).
inline int Zip(const std::string& command) {
    char output[4096];
    return SevenZip(nullptr, CommandText(command).c_str(), output, sizeof output);
}

// A source tree S/ and an empty, writable folder out/ for the archive A.
struct LibraryTree {
    TempDir dir;
    std::string S = dir / "S", out = dir / "out", A = out + "/A.zip";
    LibraryTree() {
        for (const char* d : {"S", "S/sub", "S/sub/deep", "S/empty", "out"}) MakeDir(dir / d);
        for (const char* f : {"x.txt", "y.log", "sub/z.txt", "sub/deep/w.txt", "-lead", "a*b",
                              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xA1\xA8.jp"})
            WriteFile(S + "/" + f, std::string("data of ") + f);
    }
    std::string Prefix(const std::string& switches = "-mx=1") const {
        return "a -tzip -hide " + switches + " \"" + A + "\" \"" + S + "/\" ";
    }
    // Only the archive, or nothing, is in out/: no temporary file stayed.
    bool OutHolds(bool archive) const {
        return Tree(out) == (archive ? std::vector<std::string>{"A.zip"} : std::vector<std::string>{});
    }
};

}  // namespace ts
