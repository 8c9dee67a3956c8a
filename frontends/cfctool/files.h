// The files a command reads and writes for the technician.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cfctool {

// The whole content of a regular file of at most `maxBytes`; a missing,
// unreadable or larger file, or one that is not a regular file (a FIFO would
// hang the command), is a usage Failure naming it.
std::vector<uint8_t> readInputFile(const std::string& path, std::size_t maxBytes);

// Writes `bytes` as the whole content of `path`, through a temporary file
// beside it that is renamed into place, so a file is never left half
// written. A Failure names the file and the system's reason.
void writeOutputFile(const std::string& path, std::span<const uint8_t> bytes);

} // namespace cfctool
