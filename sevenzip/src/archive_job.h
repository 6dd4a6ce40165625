// archive_job.h - runs one command from text to published archive: parse, select, compress and write,
// verify, publish.
#pragma once

#include <string>
#include <string_view>

namespace sevenzip {

// Runs the command and returns the report text for the caller's output buffer. Throws Failure (or, out
// of memory, std::bad_alloc) on any failure; by then no file was created or changed.
std::string runCommand(std::string_view text);

}  // namespace sevenzip
