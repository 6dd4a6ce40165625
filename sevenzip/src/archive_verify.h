// archive_verify.h - reads a written archive back and checks it holds exactly what was meant to go in.
//
// The check parses the end records (ZIP64 ones where present) and the central directory, matches every
// entry's name, size and CRC-32 against the expected list in order, checks that each local header agrees
// with its central one, and decompresses every entry's data, comparing the CRC-32 and size of what comes
// out. It runs on the temporary file before it is published, so an archive that fails it never appears.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_io.h"

namespace sevenzip {

struct ExpectedEntry {
    std::string name;  // as stored: folders end in '/'
    uint64_t size = 0;
    uint32_t crc = 0;
};

// Throws Failure(SEVENZIP_E_VERIFY) naming the first entry or record that does not match, or
// Failure(SEVENZIP_E_WRITE) when the file cannot be read back.
void verifyArchive(io::Handle fd, const std::vector<ExpectedEntry>& expected);

}  // namespace sevenzip
