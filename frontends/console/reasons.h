// The one line vornax writes to standard error when something went wrong: what
// happened and the fix that usually applies. Standard output keeps its fixed
// result lines; these lines are for the person at the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace vornax {

// Why the library refused to open the port (its record of the last failed
// open, a CFC_OPEN_* kind with the system's words).
struct OpenRefusal {
    std::int32_t kind = 0;
    std::int32_t port = 0;
    std::int32_t systemError = 0;
    std::string devicePath; // empty when the port maps to no device
    std::string reason;
};

// The steps after the open, in the order they run.
enum class Step { ServiceMode, AutoStart, SwitchOff };

// `configDir` is where ports.ini is looked for (the user's config directory).
std::string openRefusalLine(const OpenRefusal& refusal, const std::string& configDir);

// A step that failed on an open port; `devicePath` may be empty, and a
// `libraryError` of 0 (the step left no code) is not shown.
std::string stepFailureLine(Step step, std::int32_t port, const std::string& devicePath,
                            std::uint16_t libraryError);

// Before a port that is the kernel's console is opened: DTR and AT commands
// would go to the console, not to a module.
std::string kernelConsoleWarning(std::int32_t port, const std::string& devicePath);

} // namespace vornax
