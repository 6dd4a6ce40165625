// print_executable_path.cpp - test helper: prints ExecutablePath(), ExecutableFolder() and
// ExecutableBaseName(), one a line, so a test can run a copy of it from another place under another name.
// With the argument --delete-self it first removes its own executable file, as an upgrade would.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "executable_path.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--delete-self") == 0 && ::unlink(ExecutablePath().c_str()) != 0)
        return 2;
    std::printf("%s\n%s\n%s\n", ExecutablePath().c_str(), ExecutableFolder().c_str(),
                ExecutableBaseName().c_str());
    return 0;
}
