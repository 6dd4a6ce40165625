// executable_path.h - where the running program lives: its full path, folder and base name.
//
// The program keeps its settings file beside itself and looks for the archiver library there first, so
// both start-up and the library search ask these functions. They read the kernel's /proc/self/exe link,
// which names the executable file itself (symbolic links used to start it are already resolved).
// Each call reads the link afresh; none of them throws.
#pragma once

#include <string>

// Full path of the running executable, e.g. "/opt/pakuto/bin/pakuto"; still that path when the file
// was removed or replaced after the program started. Empty when the link cannot be read (no /proc).
std::string ExecutablePath();

// Folder that holds the executable, without a trailing "/" (e.g. "/opt/pakuto/bin"); "/" for an
// executable in the root folder. Empty when ExecutablePath() is empty.
std::string ExecutableFolder();

// File name of the executable without its last extension: "pakuto" for ".../pakuto",
// "tool.v2" for ".../tool.v2.bin". A name that only starts with a dot (".pakuto") is kept whole.
// Empty when ExecutablePath() is empty.
std::string ExecutableBaseName();
