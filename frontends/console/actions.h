// What vornax does once its command line is accepted: the version line, the
// usage text and the one switch-off sequence against the module.
#pragma once

#include "reasons.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace vornax {

// Process exit codes; -1 reaches a POSIX parent as 255.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = -1;

void printVersion(std::FILE* out);
void printUsage(std::FILE* out);

// Whether a device is the kernel's console; replaceable for tests.
using ConsoleCheck = bool (*)(const std::string& devicePath);
bool isKernelConsole(const std::string& devicePath);

// Opens COM<port>, brings the module into service mode, switches its Java
// autostart off and the module off, and closes the connection again. Prints
// the one result line to `out` and gives the exit code; why a step failed,
// and a warning before a port that is the kernel's console, go to `err`. A
// stop from outside (stop_request.h) ends it with the interrupt's line and
// exit code instead of the reason.
// `advice` is what the reasons may name; the machine's own by default.
int switchAutoExecOff(std::FILE* out, std::FILE* err, std::int32_t port,
                      ConsoleCheck isConsole = isKernelConsole,
                      const std::optional<AdviceContext>& advice = std::nullopt);

} // namespace vornax
