// Why something went wrong and the fix that usually applies, in one line
// for the person at the terminal (vornax's standard error) or in the window
// (kestrix's message boxes). The fixed result texts stay where they are;
// these lines come beside them.
#pragma once

#include <cstdint>
#include <functional>
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

// The library's record of the last refused open of COM<port>; an open that
// returned a handle of 0 without a refusal on record (no thread for the
// connection) is told as such.
OpenRefusal lastOpenRefusal(std::int32_t port);

// The steps after the open, in the order they run.
enum class Step { ServiceMode, AutoStart, SwitchOff };

// What the advice may name beyond the failure itself.
struct AdviceContext {
    // Where ports.ini is looked for (the user's config directory).
    std::string configDir;
    // The command that runs the same job again ("vornax com7", "kestrix").
    std::string runAgain;
    // The library's trace file when CFC_TRACE=1 is set already; empty when
    // it is not, and the advice is then to set it.
    std::string traceFile;
    // What would let this user open a device the system refused.
    std::function<std::string(const std::string& devicePath)> deniedAdvice;
};

// This machine's: its config directory, CFC_TRACE and the device's own
// owner, group and mode.
AdviceContext adviceHere(const std::string& runAgain);

std::string openRefusalText(const OpenRefusal& refusal, const AdviceContext& context);

// A step that failed on the connection `handle`: its last error with the
// library's words for it (none when the step left no code); `devicePath`
// may be empty.
std::string stepFailureText(Step step, std::int32_t port, const std::string& devicePath,
                            std::uint32_t handle, const AdviceContext& context);

// Before a port that is the kernel's console is opened: DTR and AT commands
// would go to the console, not to a module.
std::string kernelConsoleWarning(std::int32_t port, const std::string& devicePath);

} // namespace vornax
