// The event's state and its waiters, the same on every system; the backend
// keeps a system handle (an eventfd, a Win32 event) in step with it, so that
// a port wait can sleep on the port and the event at once.
#include "plat/event.h"

#include "common/backend.h"

namespace plat {

// The handle is ready exactly while the event is set; both change under the
// mutex, so a system waiter and a condition-variable waiter never disagree.
Event::Event(std::string name, bool pollable)
    : name_(std::move(name)), fd_(pollable ? detail::newEventHandle(false, nullptr) : -1)
{
}

Event::~Event()
{
    if (fd_ >= 0)
        detail::closeEventHandle(fd_);
}

bool Event::attachPollHandle(int* sysError)
{
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        fd_ = detail::newEventHandle(signalled_, sysError);
    return fd_ >= 0;
}

void Event::detachPollHandle()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        detail::closeEventHandle(fd_);
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
            detail::signalEventHandle(fd_, true);
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
        detail::signalEventHandle(fd_, false);
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

} // namespace plat
