#include "actions.h"

#include "reasons.h"

#include "cfc.h"
#include "stop_request.h"

#include "plat/port_probe.h"
#include "plat/portmap.h"

namespace vornax {
namespace {

constexpr const char* versionText = "Version 1.0.2";
constexpr std::int32_t baudRate = 115200;
// No external trace sink: the library traces to its own file, if at all.
constexpr std::uint32_t noTraceSink = 0;
constexpr std::uint8_t autoStartOff = 0;

struct StepRow {
    std::int32_t (*run)(std::uint32_t handle);
    const char* failureText;
    Step step;
};

std::int32_t switchJavaAutoStartOff(std::uint32_t handle)
{
    return WSwitchJavaAutoStart(handle, autoStartOff);
}

constexpr StepRow steps[] = {
    {WInitServiceMode, "Error: Cannot connect to Module\n", Step::ServiceMode},
    {switchJavaAutoStartOff, "Error: Cannot switchoff AutoExec\n", Step::AutoStart},
    {WSwitchOff, "Error: Cannot close Module connection\n", Step::SwitchOff},
};

constexpr std::uint32_t pathSize = 4096;
constexpr std::uint32_t reasonSize = 256;

OpenRefusal lastOpenRefusal(std::int32_t port)
{
    OpenRefusal refusal;
    char path[pathSize] = {};
    char reason[reasonSize] = {};
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

void printLine(std::FILE* err, const std::string& line)
{
    std::fprintf(err, "%s\n", line.c_str());
    std::fflush(err);
}

} // namespace

bool isKernelConsole(const std::string& devicePath)
{
    return plat::isKernelConsole(devicePath);
}

void printVersion(std::FILE* out)
{
    std::fprintf(out, "vornax %s\n", versionText);
}

void printUsage(std::FILE* out)
{
    std::fprintf(out, "usage: vornax <options> <com-port>\n");
    std::fprintf(out, "       <options>:  -h or -? for help\n");
    std::fprintf(out, "                   -ver for version\n");
    std::fprintf(out, "       <com-port>: com1 up to com99 for com port selection\n");
}

int switchAutoExecOff(std::FILE* out, std::FILE* err, std::int32_t port, ConsoleCheck isConsole)
{
    const std::string devicePath = plat::comPortPath(port).value_or("");
    // Only a warning: a user who mapped the port there on purpose keeps the
    // choice, but nobody does it unawares.
    if (!devicePath.empty() && isConsole(devicePath))
        printLine(err, kernelConsoleWarning(port, devicePath));

    // A failed open yields a handle every later call refuses, so it is
    // reported by the service-mode step like a module that does not answer;
    // the library's record of the refusal says why.
    const std::uint32_t handle = WComOpen(port, baudRate, noTraceSink);
    for (const StepRow& row : steps) {
        enterStep(row.failureText);
        if (!row.run(handle) || stopRequested()) {
            // Printed before closing, so the reason reaches the user even if
            // closing the port hangs.
            reportFailure(out, row.failureText);
            if (handle == 0)
                printLine(err, openRefusalLine(lastOpenRefusal(port), plat::userConfigDir()));
            else
                printLine(err, stepFailureLine(row.step, port, devicePath, WGetLastError(handle)));
            WComClose(handle);
            return exitFailure;
        }
    }
    WComClose(handle);
    std::fprintf(out, "AutoExec successfully switched off\n");
    return exitSuccess;
}

} // namespace vornax
