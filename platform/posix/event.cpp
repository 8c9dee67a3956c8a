// Event handles as eventfds, and waits on several events in ppoll.
#include "plat/event.h"

#include "common/backend.h"
#include "posix/poll_wait.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace plat::detail {

int newEventHandle(bool signalled, int* sysError)
{
    const int fd = ::eventfd(signalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0 && sysError)
        *sysError = errno;
    return fd;
}

void closeEventHandle(int handle)
{
    ::close(handle);
}

void signalEventHandle(int handle, bool set)
{
    // Neither can fail: the counter moves between 0 and 1 only.
    uint64_t value = 1;
    [[maybe_unused]] const ssize_t n =
        set ? ::write(handle, &value, sizeof value) : ::read(handle, &value, sizeof value);
}

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

} // namespace plat::detail
