#include "stop_request.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

volatile sig_atomic_t stopSignalled = 0;

void onStopSignal(int)
{
    stopSignalled = 1;
}

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

bool standardInputCanEnd()
{
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0)
        return false;
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || ::isatty(STDIN_FILENO);
}

// False once standard input has ended (or failed for good).
bool drainStandardInput()
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    return n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN));
}

} // namespace

void holdStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    const sigset_t held = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

void waitForStopRequest()
{
    // The signals are let through only inside pselect, so one arriving
    // between the check and the wait cannot be missed.
    sigset_t whileWaiting;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &whileWaiting);
    sigdelset(&whileWaiting, SIGINT);
    sigdelset(&whileWaiting, SIGTERM);

    const bool watchInput = standardInputCanEnd();
    while (!stopSignalled) {
        fd_set readable;
        FD_ZERO(&readable);
        if (watchInput)
            FD_SET(STDIN_FILENO, &readable);
        const int ready = ::pselect(watchInput ? STDIN_FILENO + 1 : 0, &readable, nullptr, nullptr,
                                    nullptr, &whileWaiting);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready > 0 && FD_ISSET(STDIN_FILENO, &readable) && !drainStandardInput())
            return;
    }
}

} // namespace sim
