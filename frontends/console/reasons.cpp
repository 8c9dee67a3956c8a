#include "reasons.h"

#include "cfc.h"

#include <cerrno>

namespace vornax {
namespace {

std::string portWithDevice(std::int32_t port, const std::string& devicePath)
{
    std::string text = "COM" + std::to_string(port);
    if (!devicePath.empty())
        text += " (" + devicePath + ")";
    return text;
}

#ifdef _WIN32
// Windows names its ports itself: there is no map to fix, only the number.
std::string mappingHint(std::int32_t, const std::string&)
{
    return "the Device Manager lists the module's port under Ports (COM & LPT)";
}
constexpr const char* kDeniedHint = "; this user may not open the port";
constexpr const char* kBusyHint = "; another program holds the port: end it";
// In the console's own words: cmd.exe knows no "NAME=value command".
constexpr const char* kTraceHint =
    "; with CFC_TRACE=1 set, the library writes its view to tracefiles\\tracefile.txt";
std::string traceRunHint(std::int32_t port)
{
    return "; set CFC_TRACE=1, run vornax com" + std::to_string(port) +
           " again and read tracefiles\\tracefile.txt for the reason";
}
#else
std::string mappingHint(std::int32_t port, const std::string& configDir)
{
    const std::string com = "COM" + std::to_string(port);
    const std::string ini = configDir.empty() ? std::string("~/.config") : configDir;
    return "map " + com + " to the module's device with CFC_" + com +
           "=/dev/serial/by-id/... or a line " + com + "=<device> in section [Ports] of " + ini +
           "/cfc/ports.ini";
}
constexpr const char* kDeniedHint =
    "; join the dialout group (sudo usermod -aG dialout $USER) and log in again";
constexpr const char* kBusyHint =
    "; another program holds the port, often a modem manager probing a new adapter: "
    "end it, or keep it off the adapter with a udev rule (ID_MM_DEVICE_IGNORE)";
constexpr const char* kTraceHint =
    "; CFC_TRACE=1 writes the library's view to tracefiles/tracefile.txt";
std::string traceRunHint(std::int32_t port)
{
    return "; run CFC_TRACE=1 vornax com" + std::to_string(port) +
           " and read tracefiles/tracefile.txt for the reason";
}
#endif

const char* stepText(Step step)
{
    switch (step) {
    case Step::ServiceMode: return "the module did not come into service mode";
    case Step::AutoStart: return "the module did not switch its Java autostart off";
    case Step::SwitchOff: return "the module did not switch off";
    }
    return "a step failed";
}

} // namespace

std::string openRefusalLine(const OpenRefusal& refusal, const std::string& configDir)
{
    const std::string com = "COM" + std::to_string(refusal.port);
    const std::string head =
        "vornax: cannot open " + portWithDevice(refusal.port, refusal.devicePath) + ": ";
    switch (refusal.kind) {
    case CFC_OPEN_NO_DEVICE:
        if (refusal.devicePath.empty())
            return head + "no device is mapped to it; " + mappingHint(refusal.port, configDir);
        return head + refusal.reason + "; plug the adapter in, or " +
               mappingHint(refusal.port, configDir);
    case CFC_OPEN_DENIED: return head + refusal.reason + kDeniedHint;
    case CFC_OPEN_BUSY: return head + refusal.reason + kBusyHint;
    case CFC_OPEN_SLOT_IN_USE: return head + "this program has " + com + " open already";
    default: break;
    }
    if (refusal.systemError == ENOTTY || refusal.systemError == EISDIR)
        return head + refusal.reason +
               "; this is not a serial port: " + mappingHint(refusal.port, configDir);
    return head + refusal.reason + kTraceHint;
}

std::string stepFailureLine(Step step, std::int32_t port, const std::string& devicePath,
                            std::uint16_t libraryError)
{
    // Not every failing step leaves a code behind; a 0 would only puzzle.
    const std::string code = libraryError == EMMIERR_OK
                                 ? std::string()
                                 : " (library error " + std::to_string(libraryError) + ")";
    return "vornax: " + portWithDevice(port, devicePath) + ": " + stepText(step) + code +
           traceRunHint(port);
}

std::string kernelConsoleWarning(std::int32_t port, const std::string& devicePath)
{
    return "vornax: warning: " + portWithDevice(port, devicePath) +
           " is the kernel's console; opening it raises DTR and sends AT commands to the console";
}

} // namespace vornax
