// write_fault.h - one fault on the next write of the archive being written, or an action before
// a source is first read (see write_fault.cpp).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace ts {

enum class WriteFault {
    None,
    FlipByte,  // one byte of a large write is changed: the archive is damaged on disk
    Exit,      // the process ends at once, as if killed while writing
    Hook,      // the action runs before the write goes on unchanged
};

void ArmWriteFault(WriteFault fault, std::function<void()> action = {});
// Runs `action` before the first pread of a file whose path holds `marker` (on Windows just before the
// file is opened for reading: once the library has it open, nobody can write to it).
void ArmReadHook(const std::string& marker, std::function<void()> action);
// True when the armed fault and read hook have fired (or none was armed).
bool WriteFaultFired();
// Disarms what was armed and has not fired (InChild on Windows, which runs its step in the test's own
// process, calls it when the step ends).
void Disarm();

// For the platform files that route the library's calls here (write_fault_posix.cpp,
// write_fault_win32.cpp): `path` gives the file's path, asked for only when something is armed.
// Runs the read hook when the path holds its marker.
void BeforeRead(const std::function<std::string()>& path);
// The data to write: `data` itself, or a copy in `copy` with the armed fault applied.
const void* BeforeWrite(const std::function<std::string()>& path, const void* data, size_t size,
                        std::vector<char>& copy);

}  // namespace ts
