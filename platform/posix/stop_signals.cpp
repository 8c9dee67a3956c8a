#include "plat/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>

namespace plat {

namespace {

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

constexpr int kSignalExitBase = 128;

} // namespace

void blockStopSignals()
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void unblockStopSignals()
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int waitForStopSignal()
{
    const sigset_t set = stopSignals();
    int number = 0;
    // sigwait fails only for a set it cannot take, which this one is not.
    while (sigwait(&set, &number) != 0) {
    }
    return kSignalExitBase + number;
}

std::optional<int> waitForStopSignal(std::chrono::milliseconds bound)
{
    const sigset_t set = stopSignals();
    // A handler for some other signal interrupts the wait; the bound stays
    // the one the caller gave, not a fresh one after each interruption.
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        timespec wait{static_cast<std::time_t>(left.count() / 1'000'000'000),
                      static_cast<long>(left.count() % 1'000'000'000)};
        siginfo_t info{};
        const int number = sigtimedwait(&set, &info, &wait);
        if (number > 0)
            return kSignalExitBase + number;
        if (errno != EINTR)
            return std::nullopt;
    }
}

} // namespace plat
