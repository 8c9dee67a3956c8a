#include "stop_request.h"

#include "actions.h"

#include "plat/serial.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace vornax {

namespace {

// Plain atomics and a mutex with nothing to destroy: the watcher thread may
// still look at them while the job's thread ends the process.
std::atomic<bool> g_stop{false};
std::atomic<const char*> g_step{nullptr};
std::mutex g_reportMutex;
bool g_reported = false;

} // namespace

void requestStop()
{
    g_stop.store(true);
}

bool stopRequested()
{
    return g_stop.load();
}

void enterStep(const char* failureText)
{
    g_step.store(failureText);
}

const char* currentStepFailure()
{
    return g_step.load();
}

void stopJob()
{
    requestStop();
    plat::abandonDevicePorts();
}

void endStoppedJob(std::FILE* out)
{
    if (const char* step = currentStepFailure())
        reportFailure(out, step);
    std::fflush(out);
    // Without exit handlers: the job's thread still runs in the library.
    std::_Exit(exitFailure & 0xFF);
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

} // namespace vornax
