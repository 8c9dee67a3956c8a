#include "stop_signals.h"

#include "stop_request.h"

#include <windows.h>

namespace vornax {

namespace {

// Time for the job to fail and close the port on its own path; see the
// POSIX watcher. A closed console window gives the process some 5 s.
constexpr DWORD kGraceMs = 3000;

std::FILE* g_out = nullptr;
std::FILE* g_err = nullptr;

// The codes a POSIX shell gives the matching signals: Ctrl+C and Ctrl+Break
// as SIGINT (130), a console that goes away as a hang-up (129).
constexpr int kInterruptExit = 130;
constexpr int kHangUpExit = 129;
// Set by a second Ctrl+C: the first one's grace ends at once.
HANDLE g_again = nullptr;
LONG g_stops = 0;

// The system runs this on a thread of its own for each console event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    int exitCode = kInterruptExit;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: exitCode = kHangUpExit; break;
    default: return FALSE;
    }
    if (::InterlockedIncrement(&g_stops) > 1) {
        ::SetEvent(g_again);
        return TRUE;
    }
    stopJob(exitCode);
    ::WaitForSingleObject(g_again, kGraceMs);
    endStoppedJob(g_out, g_err);
}

} // namespace

void watchStopSignals(std::FILE* out, std::FILE* err)
{
    g_out = out;
    g_err = err;
    g_again = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace vornax
