#include "plat/event.h"

#include "common/backend.h"
#include "posix/poll_wait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace plat {

namespace {

// An eventfd that is readable while `signalled`; -1 with errno when the
// system refuses one.
int newPollHandle(bool signalled)
{
    return ::eventfd(signalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
}

} // namespace

// The eventfd is readable exactly while the event is set; both change under
// the mutex, so a poller and a condition-variable waiter never disagree.
Event::Event(std::string name, bool pollable)
    : name_(std::move(name)), fd_(pollable ? newPollHandle(false) : -1)
{
}

Event::~Event()
{
    if (fd_ >= 0)
        ::close(fd_);
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
        *sysError = errno;
    return false;
}

void Event::detachPollHandle()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::close(fd_);
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
        if (fd_ >= 0) {
            const uint64_t one = 1;
            // Cannot fail: the counter is 0 here, far from overflow.
            [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
        }
    }
    cv_.notify_all();
}

void Event::reset()
{
    std::lock_guard lock(mutex_);
    if (!signalled_)
        return;
    signalled_ = false;
    if (fd_ >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
    }
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

int waitForAnyUntil(const Event* const* events, size_t count, Deadline deadline)
{
    std::vector<pollfd> fds(count);
    bool withoutHandle = false;
    for (size_t i = 0; i < count; ++i) {
        // A negative fd is ignored by poll: null events simply never wake it.
        fds[i] = {events[i] ? events[i]->nativeHandle() : -1, POLLIN, 0};
        withoutHandle = withoutHandle || (events[i] && fds[i].fd < 0);
    }
    for (;;) {
        for (size_t i = 0; i < count; ++i)
            if (events[i] && events[i]->isSet())
                return static_cast<int>(i);
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        if (pollUntil(fds.data(), fds.size(), sliceFor(deadline, withoutHandle)) < 0)
            return -1;
    }
}

} // namespace detail
} // namespace plat
