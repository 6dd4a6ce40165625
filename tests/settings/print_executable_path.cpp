// print_executable_path.cpp - test helper: prints ExecutablePath(), ExecutableFolder() and
// ExecutableBaseName(), one a line, so a test can run a copy of it from another place under another name.
#include <cstdio>

#include "executable_path.h"

int main() {
    std::printf("%s\n%s\n%s\n", ExecutablePath().c_str(), ExecutableFolder().c_str(),
                ExecutableBaseName().c_str());
    return 0;
}
