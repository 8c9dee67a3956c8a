#include "actions.h"

#include "cfc.h"
#include "stop_request.h"

namespace vornax {
namespace {

constexpr const char* versionText = "Version 1.0.2";
constexpr std::int32_t baudRate = 115200;
// No external trace sink: the library traces to its own file, if at all.
constexpr std::uint32_t noTraceSink = 0;
constexpr std::uint8_t autoStartOff = 0;

struct Step {
    std::int32_t (*run)(std::uint32_t handle);
    const char* failureText;
};

std::int32_t switchJavaAutoStartOff(std::uint32_t handle)
{
    return WSwitchJavaAutoStart(handle, autoStartOff);
}

constexpr Step steps[] = {
    {WInitServiceMode, "Error: Cannot connect to Module\n"},
    {switchJavaAutoStartOff, "Error: Cannot switchoff AutoExec\n"},
    {WSwitchOff, "Error: Cannot close Module connection\n"},
};

} // namespace

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

int switchAutoExecOff(std::FILE* out, std::int32_t port)
{
    // A failed open yields a handle every later call refuses, so it is
    // reported by the service-mode step like a module that does not answer.
    const std::uint32_t handle = WComOpen(port, baudRate, noTraceSink);
    for (const Step& step : steps) {
        enterStep(step.failureText);
        if (!step.run(handle) || stopRequested()) {
            // Printed before closing, so the reason reaches the user even if
            // closing the port hangs.
            reportFailure(out, step.failureText);
            WComClose(handle);
            return exitFailure;
        }
    }
    WComClose(handle);
    std::fprintf(out, "AutoExec successfully switched off\n");
    return exitSuccess;
}

} // namespace vornax
