// sevenzip32_main.cpp - the command-line driver: its one argument is the command text (on Windows in
// the ANSI code page, as the C runtime hands it over); prints the library's output and exits 0 when the
// archive was written, else 1.
#include <cstdio>
#include <vector>

#include "sevenzip32.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: sevenzip32 'COMMAND TEXT'\n", stderr);
        return 1;
    }
    std::vector<char> output(32767);
    const int result = SevenZip(nullptr, argv[1], output.data(), static_cast<SevenZipSize>(output.size()));
    std::fputs(output.data(), stdout);
    return result == 0 ? 0 : 1;
}
