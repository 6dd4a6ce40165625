// write_fault.h - one fault on the next write of the archive being written, or an action before
// a source is first read (see write_fault.cpp).
#pragma once

#include <functional>
#include <string>

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

}  // namespace ts
