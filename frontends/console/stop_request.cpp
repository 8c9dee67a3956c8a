#include "stop_request.h"

#include "progress_line.h"

#include "plat/serial.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace vornax {

namespace {

// Plain atomics and a mutex with nothing to destroy: the watcher thread may
// still look at them while the job's thread ends the process.
std::atomic<bool> g_stop{false};
std::atomic<int> g_exitCode{0};
std::atomic<const char*> g_step{nullptr};
std::atomic<const char*> g_stepName{"the open of the port"};
std::mutex g_reportMutex;
bool g_reported = false;
bool g_interruptReported = false;

} // namespace

void requestStop(int exitCode)
{
    g_exitCode.store(exitCode);
    g_stop.store(true);
}

bool stopRequested()
{
    return g_stop.load();
}

int stopExitCode()
{
    return g_exitCode.load();
}

void enterStep(const char* failureText, const char* stepName)
{
    g_step.store(failureText);
    g_stepName.store(stepName);
}

const char* currentStepFailure()
{
    return g_step.load();
}

void stopJob(int exitCode)
{
    requestStop(exitCode);
    plat::abandonDevicePorts();
}

void endStoppedJob(std::FILE* out, std::FILE* err)
{
    if (const char* step = currentStepFailure())
        reportFailure(out, step);
    reportInterrupted(err);
    std::fflush(out);
    // Without exit handlers: the job's thread still runs in the library.
    std::_Exit(stopExitCode());
}

void reportFailure(std::FILE* out, const char* failureText)
{
    std::lock_guard lock(g_reportMutex);
    // Only a stop brings a second reporter; until then every failure of a
    // job is its own.
    if (g_reported && stopRequested())
        return;
    g_reported = true;
    std::fprintf(out, "%s", failureText);
    std::fflush(out);
}

void reportInterrupted(std::FILE* err)
{
    std::lock_guard lock(g_reportMutex);
    if (g_interruptReported)
        return;
    g_interruptReported = true;
    endWaitProgress();
    std::fprintf(err, "vornax: interrupted during %s\n", g_stepName.load());
    std::fflush(err);
}

} // namespace vornax
