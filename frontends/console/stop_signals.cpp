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
    // A terminal that hangs up sends SIGHUP; Ctrl-\ sends SIGQUIT. Left to
    // their default they would end the process with the port still held.
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGQUIT);
    return set;
}

// As shells report a program a signal ended: 130 for SIGINT, 143 for
// SIGTERM, 129 for SIGHUP, 131 for SIGQUIT.
constexpr int kSignalExitBase = 128;

[[noreturn]] void watch(sigset_t set, std::FILE* out, std::FILE* err)
{
    int number = 0;
    while (sigwait(&set, &number) != 0) {
    }
    stopJob(kSignalExitBase + number);

    timespec grace{kGraceSeconds, 0};
    siginfo_t info{};
    while (sigtimedwait(&set, &info, &grace) < 0 && errno == EINTR) {
    }
    endStoppedJob(out, err);
}

} // namespace

void watchStopSignals(std::FILE* out, std::FILE* err)
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, set, out, err).detach();
}

} // namespace vornax
