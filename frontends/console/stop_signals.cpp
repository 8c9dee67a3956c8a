#include "stop_signals.h"

#include "stop_request.h"

#include "plat/stop_signals.h"
#include "plat/thread.h"

#include <chrono>

namespace vornax {

namespace {

// Time for the job to fail and close the port on its own path. Some of the
// library's loops go on probing a failed port with fixed waits for many
// seconds; the port is already released by then, so the rest is cut short.
constexpr auto kGrace = std::chrono::seconds(3);

[[noreturn]] void watch(std::FILE* out, std::FILE* err)
{
    stopJob(plat::waitForStopSignal());
    plat::waitForStopSignal(kGrace);
    endStoppedJob(out, err);
}

} // namespace

void watchStopSignals(std::FILE* out, std::FILE* err)
{
    plat::blockStopSignals();
    // Never destroyed, so never joined: the watcher ends with the process.
    static auto* watcher = new plat::Thread;
    if (!watcher->start([out, err] { watch(out, err); }, nullptr))
        plat::unblockStopSignals();
}

} // namespace vornax
