#include "actions.h"

#include "reasons.h"

#include "cfc.h"
#include "stop_request.h"

#include "plat/port_probe.h"
#include "plat/portmap.h"

#include <string>

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
    const char* name; // for "interrupted during ..."
};

std::int32_t switchJavaAutoStartOff(std::uint32_t handle)
{
    return WSwitchJavaAutoStart(handle, autoStartOff);
}

constexpr StepRow steps[] = {
    {WInitServiceMode, "Error: Cannot connect to Module\n", Step::ServiceMode,
     "the switch to service mode"},
    {switchJavaAutoStartOff, "Error: Cannot switchoff AutoExec\n", Step::AutoStart,
     "the Java autostart switch"},
    {WSwitchOff, "Error: Cannot close Module connection\n", Step::SwitchOff, "the switch-off"},
};

void printLine(std::FILE* err, const std::string& line)
{
    std::fprintf(err, "vornax: %s\n", line.c_str());
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

int switchAutoExecOff(std::FILE* out, std::FILE* err, std::int32_t port, ConsoleCheck isConsole,
                      const std::optional<AdviceContext>& givenAdvice)
{
    const AdviceContext advice =
        givenAdvice.value_or(adviceHere("vornax com" + std::to_string(port)));
    const std::string devicePath = plat::comPortPath(port).value_or("");
    // Only a warning: a user who mapped the port there on purpose keeps the
    // choice, but nobody does it unawares.
    if (!devicePath.empty() && isConsole(devicePath))
        printLine(err, kernelConsoleWarning(port, devicePath));

    // A failed open yields a handle every later call refuses, so it is
    // reported by the service-mode step like a module that does not answer;
    // the library's record of the refusal says why.
    enterStep(steps[0].failureText, "the open of the port");
    const std::uint32_t handle = WComOpen(port, baudRate, noTraceSink);
    for (const StepRow& row : steps) {
        enterStep(row.failureText, row.name);
        if (!row.run(handle) || stopRequested()) {
            // Printed before closing, so the reason reaches the user even if
            // closing the port hangs.
            reportFailure(out, row.failureText);
            if (stopRequested())
                // The step failed because it was stopped: the module is not
                // to blame, and no advice fits.
                reportInterrupted(err);
            else if (handle == 0)
                printLine(err, openRefusalText(lastOpenRefusal(port), advice));
            else
                printLine(err, stepFailureText(row.step, port, devicePath, handle, advice));
            WComClose(handle);
            return stopRequested() ? stopExitCode() : exitFailure;
        }
    }
    enterStep(nullptr, "the close of the port");
    WComClose(handle);
    std::fprintf(out, "AutoExec successfully switched off\n");
    if (stopRequested()) {
        // The module is off, but the close was cut short.
        reportInterrupted(err);
        return stopExitCode();
    }
    return exitSuccess;
}

} // namespace vornax
