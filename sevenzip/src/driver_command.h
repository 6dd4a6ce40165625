// driver_command.h - the driver's command text from its arguments, in the encoding SevenZip takes:
// on POSIX its one argument as it is; on Windows its one argument from the wide command line,
// converted to the ANSI code page without best-fit replacements, so a character the code page lacks
// refuses the command instead of turning into a look-alike ('e' for U+00E9, '/' for U+2215) or '?'
// (a wildcard) as the C runtime's own argv would have it. driver_command_posix.cpp and
// driver_command_win32.cpp say how; the build picks one.
#pragma once

#include <string>

// False, with the reason in `command`, when there is not exactly one argument or it cannot be given
// in the code page.
bool driverCommand(int argc, char** argv, std::string& command);
