// driver_command_posix.cpp - the argument's bytes are the command.
#include "driver_command.h"

bool driverCommand(int argc, char** argv, std::string& command) {
    if (argc != 2) {
        command = "usage: sevenzip32 'COMMAND TEXT'";
        return false;
    }
    command = argv[1];
    return true;
}
