// sevenzip32_main.cpp - the command-line driver: its one argument is the command text (on Windows in
// the ANSI code page, see driver_command.h); prints the library's output and exits 0 when the archive
// was written, else 1.
#include <cstdio>
#include <string>
#include <vector>

#include "driver_command.h"
#include "sevenzip32.h"

int main(int argc, char** argv) {
    std::string command;
    if (!driverCommand(argc, argv, command)) {
        std::fputs((command + "\n").c_str(), stderr);
        return 1;
    }
    std::vector<char> output(32767);
    const int result =
        SevenZip(nullptr, command.c_str(), output.data(), static_cast<SevenZipSize>(output.size()));
    std::fputs(output.data(), stdout);
    return result == 0 ? 0 : 1;
}
