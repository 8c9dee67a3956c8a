#include "posix/poll_wait.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace plat::detail {

int pollUntil(pollfd* fds, nfds_t count, Deadline deadline)
{
    for (;;) {
        int rc;
        if (deadline == Deadline::max()) {
            rc = ::ppoll(fds, count, nullptr, nullptr);
        } else {
            const auto left =
                std::max(deadline - std::chrono::steady_clock::now(), Deadline::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            const timespec ts{static_cast<time_t>(ns / 1000000000),
                              static_cast<long>(ns % 1000000000)};
            rc = ::ppoll(fds, count, &ts, nullptr);
        }
        if (rc >= 0 || errno != EINTR)
            return rc;
    }
}

} // namespace plat::detail
