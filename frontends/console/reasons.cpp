#include "reasons.h"

#include "cfc.h"

#include "plat/portmap.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include "device_access.h"
#endif

namespace vornax {
namespace {

constexpr std::uint32_t kPathSize = 4096;
constexpr std::uint32_t kReasonSize = 256;

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
std::string deniedHint(const std::string&)
{
    return "this user may not open the port";
}
constexpr const char* kBusyHint = "; another program holds the port: end it";
constexpr const char* kTraceDir = "tracefiles\\tracefile.txt";
// In the console's own words: cmd.exe knows no "NAME=value command".
constexpr const char* kTraceHint =
    "; with CFC_TRACE=1 set, the library writes its view to tracefiles\\tracefile.txt";
std::string traceRunHint(const std::string& runAgain)
{
    return "; set CFC_TRACE=1, run " + runAgain +
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
std::string deniedHint(const std::string& devicePath)
{
    return deniedAdviceHere(devicePath);
}
constexpr const char* kBusyHint =
    "; another program holds the port, often a modem manager probing a new adapter: "
    "end it, or keep it off the adapter with a udev rule (ID_MM_DEVICE_IGNORE)";
constexpr const char* kTraceDir = "tracefiles/tracefile.txt";
constexpr const char* kTraceHint =
    "; CFC_TRACE=1 writes the library's view to tracefiles/tracefile.txt";
std::string traceRunHint(const std::string& runAgain)
{
    return "; run CFC_TRACE=1 " + runAgain + " and read tracefiles/tracefile.txt for the reason";
}
#endif

// With CFC_TRACE=1 set already, advice to set it would only puzzle: the
// file it wrote is named instead.
std::string traceHint(const AdviceContext& context, bool runAgain)
{
    if (!context.traceFile.empty())
        return "; the library's view of it is in " + context.traceFile;
    return runAgain ? traceRunHint(context.runAgain) : std::string(kTraceHint);
}

const char* stepText(Step step)
{
    switch (step) {
    case Step::ServiceMode: return "the module did not come into service mode";
    case Step::AutoStart: return "the module did not switch its Java autostart off";
    case Step::SwitchOff: return "the module did not switch off";
    }
    return "a step failed";
}

std::string traceFileHere()
{
    const char* trace = std::getenv("CFC_TRACE");
    if (trace == nullptr || std::strcmp(trace, "1") != 0)
        return {};
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string(kTraceDir) : (here / kTraceDir).make_preferred().string();
}

} // namespace

OpenRefusal lastOpenRefusal(std::int32_t port)
{
    OpenRefusal refusal;
    char path[kPathSize] = {};
    char reason[kReasonSize] = {};
    refusal.kind = WGetLastOpenFailure(&refusal.port, &refusal.systemError, path, sizeof path,
                                       reason, sizeof reason);
    refusal.devicePath = path;
    refusal.reason = reason;
    if (refusal.kind == CFC_OPEN_OK) {
        // The port opened, but the connection around it could not be set up
        // (no thread); the library keeps no system reason for that.
        refusal = OpenRefusal{CFC_OPEN_OTHER, port, 0, plat::comPortPath(port).value_or(""),
                              "the connection could not be set up"};
    }
    return refusal;
}

AdviceContext adviceHere(const std::string& runAgain)
{
    return AdviceContext{plat::userConfigDir(), runAgain, traceFileHere(), deniedHint};
}

std::string openRefusalText(const OpenRefusal& refusal, const AdviceContext& context)
{
    const std::string com = "COM" + std::to_string(refusal.port);
    const std::string head =
        "cannot open " + portWithDevice(refusal.port, refusal.devicePath) + ": ";
    switch (refusal.kind) {
    case CFC_OPEN_NO_DEVICE:
        if (refusal.devicePath.empty())
            return head + "no device is mapped to it; " +
                   mappingHint(refusal.port, context.configDir);
        return head + refusal.reason + "; plug the adapter in, or " +
               mappingHint(refusal.port, context.configDir);
    case CFC_OPEN_DENIED:
        return head + refusal.reason + "; " +
               (context.deniedAdvice ? context.deniedAdvice(refusal.devicePath)
                                     : deniedHint(refusal.devicePath));
    case CFC_OPEN_BUSY: return head + refusal.reason + kBusyHint;
    case CFC_OPEN_SLOT_IN_USE: return head + "this program has " + com + " open already";
    default: break;
    }
    if (refusal.systemError == ENOTTY || refusal.systemError == EISDIR)
        return head + refusal.reason +
               "; this is not a serial port: " + mappingHint(refusal.port, context.configDir);
    return head + refusal.reason + traceHint(context, false);
}

std::string stepFailureText(Step step, std::int32_t port, const std::string& devicePath,
                            std::uint32_t handle, const AdviceContext& context)
{
    // Not every failing step leaves a code behind; a 0 would only puzzle.
    const std::uint16_t libraryError = WGetLastError(handle);
    std::string code;
    if (libraryError != EMMIERR_OK) {
        char words[kReasonSize] = {};
        WGetLastErrorText(handle, words, sizeof words);
        code = " (library error " + std::to_string(libraryError) +
               (words[0] != '\0' ? std::string(": ") + words : std::string()) + ")";
    }
    return portWithDevice(port, devicePath) + ": " + stepText(step) + code +
           traceHint(context, true);
}

std::string kernelConsoleWarning(std::int32_t port, const std::string& devicePath)
{
    return "warning: " + portWithDevice(port, devicePath) +
           " is the kernel's console; opening it raises DTR and sends AT commands to the console";
}

} // namespace vornax
