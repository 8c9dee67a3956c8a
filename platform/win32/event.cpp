// Event handles as unnamed Win32 events, and waits on several events.
#include "plat/event.h"

#include "common/backend.h"
#include "win32/wait_until.h"
#include "win32/win_error.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace plat::detail {

namespace {

HANDLE handleOf(int value)
{
    return ::LongToHandle(value);
}

} // namespace

// Unnamed: a name derived from the slot would let another program that uses
// the same slot number set or reset this process's events.
int newEventHandle(bool signalled, int* sysError)
{
    const HANDLE handle = ::CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr);
    if (!handle) {
        if (sysError)
            *sysError = lastErrno();
        return -1;
    }
    // Kernel handles fit 32 bits even in 64-bit processes, which is what the
    // system's own HandleToLong relies on.
    return static_cast<int>(::HandleToLong(handle));
}

void closeEventHandle(int handle)
{
    ::CloseHandle(handleOf(handle));
}

void signalEventHandle(int handle, bool set)
{
    if (set)
        ::SetEvent(handleOf(handle));
    else
        ::ResetEvent(handleOf(handle));
}

DWORD waitMsUntil(Deadline deadline)
{
    if (deadline == Deadline::max())
        return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        std::max(deadline - std::chrono::steady_clock::now(), Deadline::duration::zero()));
    // INFINITE is a value of its own; a long bound stops just short of it.
    return static_cast<DWORD>(std::min<int64_t>(left.count(), INFINITE - 1));
}

int waitForAnyUntil(const Event* const* events, size_t count, Deadline deadline)
{
    std::vector<HANDLE> handles;
    bool withoutHandle = false;
    for (size_t i = 0; i < count; ++i) {
        if (!events[i])
            continue;
        const int native = events[i]->nativeHandle();
        if (native >= 0)
            handles.push_back(handleOf(native));
        else
            withoutHandle = true;
    }
    for (;;) {
        for (size_t i = 0; i < count; ++i)
            if (events[i] && events[i]->isSet())
                return static_cast<int>(i);
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        const DWORD ms = waitMsUntil(sliceFor(deadline, withoutHandle));
        if (handles.empty())
            ::Sleep(ms);
        else if (::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                          ms) == WAIT_FAILED)
            return -1;
    }
}

} // namespace plat::detail
