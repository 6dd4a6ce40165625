// ProgramVersion.h - the program's version numbers as its own version resource holds them.
#pragma once

#include <string>

namespace win32 {

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
};

// The file version of the executable `path` (UTF-8): major, minor and the third number of its
// VS_FIXEDFILEINFO; zeros when the file has no version resource.
ProgramVersion ReadProgramVersion(const std::string& path);

}  // namespace win32
