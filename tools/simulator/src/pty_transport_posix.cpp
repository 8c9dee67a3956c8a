// Pseudo-terminal transport. The simulator keeps the slave open itself, so
// the line survives the host closing and opening it again (a master whose
// slave has no opener reports errors instead of waiting).
#include "sim/transport.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// A host that stops reading fills the terminal's buffer; a write waits this
// long for room before it gives up.
constexpr int kWriteStallMs = 2000;

int pollTimeout(uint32_t timeoutMs)
{
    return timeoutMs == kNoTimeout ? -1 : static_cast<int>(std::min<uint32_t>(timeoutMs, INT_MAX));
}

class PtyTransport final : public Transport {
public:
    PtyTransport(int master, int slave, const int stop[2], const int nudge[2])
        : master_(master), slave_(slave), stopRead_(stop[0]), stopWrite_(stop[1]),
          nudgeRead_(nudge[0]), nudgeWrite_(nudge[1])
    {
    }

    ~PtyTransport() override
    {
        for (int fd : {master_, slave_, stopRead_, stopWrite_, nudgeRead_, nudgeWrite_})
            ::close(fd);
    }

    size_t read(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override
    {
        // After a lasting error the master would report itself ready for
        // ever; from then on only the wake-up is waited for.
        if (!waitFor(broken_ ? 0 : POLLIN, timeoutMs, true))
            return 0;
        const ssize_t n = ::read(master_, buffer, capacity);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            broken_ = true;
        return 0;
    }

    bool write(const uint8_t* data, size_t count) override
    {
        while (count > 0) {
            const ssize_t n = ::write(master_, data, count);
            if (n > 0) {
                data += n;
                count -= static_cast<size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else if (!waitFor(POLLOUT, kWriteStallMs, false)) {
                return false;
            }
        }
        return true;
    }

    void interrupt() override { signal(stopWrite_); }

    void wake() override { signal(nudgeWrite_); }

private:
    static void signal(int pipeEnd)
    {
        const uint8_t byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(pipeEnd, &byte, 1);
    }

    // True when the master is ready for `events`; false on time-out, on the
    // stop signal (which stays readable, so it ends every later wait too),
    // on a nudge when `nudgeable` (taken, so it ends one wait only) and
    // when `events` is 0.
    bool waitFor(short events, uint32_t timeoutMs, bool nudgeable)
    {
        pollfd fds[3] = {
            {stopRead_, POLLIN, 0}, {nudgeable ? nudgeRead_ : -1, POLLIN, 0}, {master_, events, 0}};
        const nfds_t count = events != 0 ? 3 : 2;
        int ready;
        do {
            ready = ::poll(fds, count, pollTimeout(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0 || (fds[0].revents & POLLIN))
            return false;
        if (fds[1].revents & POLLIN) {
            uint8_t drained[64];
            while (::read(nudgeRead_, drained, sizeof drained) > 0) {
            }
            return false;
        }
        return count == 3 && fds[2].revents != 0;
    }

    int master_;
    int slave_;
    int stopRead_;
    int stopWrite_;
    int nudgeRead_;
    int nudgeWrite_;
    bool broken_ = false; // read thread only
};

bool makeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

std::unique_ptr<Transport> openPtyTransport(std::string* slavePath, int* sysError)
{
    auto fail = [&](std::initializer_list<int> fds) -> std::unique_ptr<Transport> {
        *sysError = errno;
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
        return nullptr;
    };

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return fail({});
    char name[PATH_MAX];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0)
        return fail({master});
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail({master});
    // Until the host sets its own line settings the terminal must pass bytes
    // untouched: with the default echo every module byte would come back.
    if (!makeRaw(slave) || ::fcntl(master, F_SETFL, O_NONBLOCK) != 0)
        return fail({master, slave});
    int stop[2];
    if (::pipe2(stop, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail({master, slave});
    int nudge[2];
    if (::pipe2(nudge, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail({master, slave, stop[0], stop[1]});

    *slavePath = name;
    return std::make_unique<PtyTransport>(master, slave, stop, nudge);
}

} // namespace sim
