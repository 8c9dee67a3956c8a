#include "stop_signals.h"

#include "stop_request.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <thread>

#include <pthread.h>

namespace vornax {

namespace {

// Time for the job to fail and close the port on its own path. Some of the
// library's loops go on probing a failed port with fixed waits for many
// seconds; the port is already released by then, so the rest is cut short.
constexpr std::time_t kGraceSeconds = 3;

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void watch(sigset_t set, std::FILE* out)
{
    int number = 0;
    while (sigwait(&set, &number) != 0) {
    }
    stopJob();

    timespec grace{kGraceSeconds, 0};
    siginfo_t info{};
    while (sigtimedwait(&set, &info, &grace) < 0 && errno == EINTR) {
    }
    endStoppedJob(out);
}

} // namespace

void watchStopSignals(std::FILE* out)
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, set, out).detach();
}

} // namespace vornax
