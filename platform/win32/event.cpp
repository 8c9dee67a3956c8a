#include "plat/event.h"

#include "common/backend.h"
#include "win32/wait_until.h"
#include "win32/win_error.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace plat {

namespace {

// Unnamed: a name derived from the slot would let another program that uses
// the same slot number set or reset this process's events.
int newPollHandle(bool signalled)
{
    const HANDLE handle = ::CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr);
    // Kernel handles fit 32 bits even in 64-bit processes, which is what the
    // system's own HandleToLong relies on.
    return handle ? static_cast<int>(::HandleToLong(handle)) : -1;
}

HANDLE handleOf(int value)
{
    return ::LongToHandle(value);
}

} // namespace

// The Win32 event is set exactly while the event is; both change under the
// mutex, so a waiter on either never disagrees with the other.
Event::Event(std::string name, bool pollable)
    : name_(std::move(name)), fd_(pollable ? newPollHandle(false) : -1)
{
}

Event::~Event()
{
    if (fd_ >= 0)
        ::CloseHandle(handleOf(fd_));
}

bool Event::attachPollHandle(int* sysError)
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        return true;
    fd_ = newPollHandle(signalled_);
    if (fd_ >= 0)
        return true;
    if (sysError)
        *sysError = detail::lastErrno();
    return false;
}

void Event::detachPollHandle()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::CloseHandle(handleOf(fd_));
    fd_ = -1;
}

int Event::nativeHandle() const
{
    std::lock_guard lock(mutex_);
    return fd_;
}

void Event::set()
{
    {
        std::lock_guard lock(mutex_);
        if (signalled_)
            return;
        signalled_ = true;
        if (fd_ >= 0)
            ::SetEvent(handleOf(fd_));
    }
    cv_.notify_all();
}

void Event::reset()
{
    std::lock_guard lock(mutex_);
    if (!signalled_)
        return;
    signalled_ = false;
    if (fd_ >= 0)
        ::ResetEvent(handleOf(fd_));
}

bool Event::isSet() const
{
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool Event::wait(uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    const auto signalled = [this] { return signalled_; };
    if (timeoutMs == kWaitForever) {
        cv_.wait(lock, signalled);
        return true;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled);
}

namespace detail {

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

} // namespace detail
} // namespace plat
