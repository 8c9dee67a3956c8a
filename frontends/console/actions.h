// What vornax does once its command line is accepted: the version line, the
// usage text and the one switch-off sequence against the module.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vornax {

// Process exit codes; -1 reaches a POSIX parent as 255.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = -1;

void printVersion(std::FILE* out);
void printUsage(std::FILE* out);

// Opens COM<port>, brings the module into service mode, switches its Java
// autostart off and the module off, and closes the connection again. Prints
// the one result line and gives the exit code.
int switchAutoExecOff(std::FILE* out, std::int32_t port);

} // namespace vornax
