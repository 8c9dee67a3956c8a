// Serial ports on a POSIX tty: non-blocking fd, waits in ppoll so that a read
// also wakes on its cancel event.
#include "common/backend.h"
#include "common/device_port.h"
#include "common/line_settings.h"
#include "plat/event.h"
#include "posix/poll_wait.h"
#include "posix/termios_map.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

namespace plat::detail {

namespace {

// Bytes the tty layer may hold before write() refuses more; used only to bound
// the wait for room.
constexpr size_t kDriverBuffer = 4096;
constexpr auto kWriteSlack = std::chrono::seconds(2);

// USB adapters otherwise hold received bytes for their latency timer (16 ms),
// far longer than the inter-character time the library waits. Not every driver
// knows the request; that is fine.
void requestLowLatency(int fd)
{
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

// The device ports this process has open, for abandonDevicePorts.
struct OpenPorts {
    std::mutex mutex;
    std::vector<int> fds;
    bool abandoned = false;
    // Readable once the ports are abandoned: wakes every wait on a port.
    int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

OpenPorts& openPorts()
{
    // Never destroyed: a signal watcher may abandon the ports while the
    // process runs its exit handlers.
    static OpenPorts* instance = new OpenPorts;
    return *instance;
}

std::atomic<bool> g_abandoned{false};

// What the close of a port must leave behind even while another process
// still holds the tty (which keeps both alive past our close): the ignition
// low, and other users free to open the port.
void releaseLines(int fd)
{
    int dtr = TIOCM_DTR;
    ::ioctl(fd, TIOCMBIC, &dtr);
    ::ioctl(fd, TIOCNXCL);
}

class PosixSerialPort final : public DevicePort {
public:
    PosixSerialPort(int fd, const LineSettings& initial) : DevicePort(initial), fd_(fd)
    {
        OpenPorts& ports = openPorts();
        std::lock_guard lock(ports.mutex);
        ports.fds.push_back(fd_);
        if (ports.abandoned)
            releaseLines(fd_);
    }
    ~PosixSerialPort() override
    {
        {
            OpenPorts& ports = openPorts();
            std::lock_guard lock(ports.mutex);
            std::erase(ports.fds, fd_);
        }
        releaseLines(fd_);
        ::close(fd_);
    }

    bool getLineSettings(LineSettings& settings) override;
    bool setLineSettings(const LineSettings& settings) override;
    IoResult read(uint8_t* buffer, size_t count, uint32_t timeoutMs, const Event* cancel) override;
    IoResult write(const uint8_t* data, size_t count) override;
    bool purge(bool rx, bool tx) override;

private:
    int driveAtDriver(ModemLine line, bool high) override;

    const int fd_;
};

bool PosixSerialPort::getLineSettings(LineSettings& settings)
{
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        return refuse(errno);
    LineSettings current = remembered();
    fromTermios(t, current);
    settings = current;
    return true;
}

bool PosixSerialPort::setLineSettings(const LineSettings& settings)
{
    if (g_abandoned.load())
        return refuse(ECANCELED);
    if (const int error = checkLineSettings(settings))
        return refuse(error);
    termios asked{};
    if (::tcgetattr(fd_, &asked) != 0)
        return refuse(errno);
    if (const int error = toTermios(settings, asked))
        return refuse(error);
    if (::tcsetattr(fd_, TCSANOW, &asked) != 0)
        return refuse(errno);
    termios got{};
    if (::tcgetattr(fd_, &got) != 0)
        return refuse(errno);
    if (!sameFormat(asked, got))
        return refuse(EINVAL);
    const int error = applyModemLines(settings);
    return error == 0 || refuse(error);
}

IoResult PosixSerialPort::read(uint8_t* buffer, size_t count, uint32_t timeoutMs,
                               const Event* cancel)
{
    const Deadline deadline = deadlineAfter(timeoutMs);
    const int cancelFd = cancel ? cancel->nativeHandle() : -1;
    const int abandonFd = openPorts().wakeFd;
    size_t got = 0;
    for (;;) {
        if (g_abandoned.load())
            return failed(ECANCELED, got);
        while (got < count) {
            const ssize_t n = ::read(fd_, buffer + got, count - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            // With VMIN 1 an empty read means hang-up, never "nothing yet".
            if (n == 0)
                return failed(EIO, got);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            return failed(errno, got);
        }
        if (got == count)
            return {IoStatus::Complete, got, 0};
        if (cancel && cancel->isSet())
            return {IoStatus::Cancelled, got, 0};
        if (std::chrono::steady_clock::now() >= deadline)
            return {IoStatus::TimedOut, got, 0};

        pollfd fds[3] = {{fd_, POLLIN, 0}, {cancelFd, POLLIN, 0}, {abandonFd, POLLIN, 0}};
        if (pollUntil(fds, 3, sliceFor(deadline, cancel && cancelFd < 0)) < 0)
            return failed(errno, got);
        // Readable data is taken first; the read after it reports the hang-up.
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[0].revents & POLLIN))
            return failed(EIO, got);
    }
}

IoResult PosixSerialPort::write(const uint8_t* data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (g_abandoned.load())
            return failed(ECANCELED, done);
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return failed(errno, done);
        // The driver's buffer is full; it empties at line speed unless flow
        // control holds it, so a generous multiple of the wire time bounds it.
        const auto bound = wireTime(remembered(), kDriverBuffer + (count - done)) * 2 + kWriteSlack;
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {openPorts().wakeFd, POLLIN, 0}};
        const int rc = pollUntil(fds, 2, std::chrono::steady_clock::now() + bound);
        if (rc == 0)
            return failed(ETIMEDOUT, done);
        if (rc < 0)
            return failed(errno, done);
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return failed(EIO, done);
    }
    // The caller treats a write as done when the bytes are on the wire.
    while (::tcdrain(fd_) != 0) {
        if (errno != EINTR)
            return failed(errno, done);
    }
    return {IoStatus::Complete, done, 0};
}

bool PosixSerialPort::purge(bool rx, bool tx)
{
    if (!rx && !tx)
        return true;
    const int queue = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
    return ::tcflush(fd_, queue) == 0 || refuse(errno);
}

int PosixSerialPort::driveAtDriver(ModemLine line, bool high)
{
    if (g_abandoned.load())
        return ECANCELED;
    int bit = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(fd_, high ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : errno;
}

// What the port is set to when it is opened, as far as the system can say.
LineSettings initialSettings(int fd, const termios& t)
{
    LineSettings settings;
    fromTermios(t, settings);
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) == 0) {
        settings.dtr = (lines & TIOCM_DTR) != 0;
        settings.rts = (lines & TIOCM_RTS) != 0;
    }
    return settings;
}

} // namespace

std::unique_ptr<SerialPort> openDevicePort(const std::string& path, int* sysError)
{
    if (g_abandoned.load()) {
        *sysError = ECANCELED;
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *sysError = errno;
        return nullptr;
    }
    const auto fail = [&](int error) -> std::unique_ptr<SerialPort> {
        ::close(fd);
        *sysError = error;
        return nullptr;
    };
    // flock holds against every other opener, root included; TIOCEXCL keeps
    // other users' programs from even opening the device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return fail(errno);
    makeRaw(t);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return fail(errno);
    requestLowLatency(fd);
    return std::make_unique<PosixSerialPort>(fd, initialSettings(fd, t));
}

} // namespace plat::detail

namespace plat {

void abandonDevicePorts()
{
    detail::OpenPorts& ports = detail::openPorts();
    std::lock_guard lock(ports.mutex);
    if (ports.abandoned)
        return;
    ports.abandoned = true;
    detail::g_abandoned.store(true);
    for (const int fd : ports.fds) {
        detail::releaseLines(fd);
        // Bytes held back by flow control would keep a drain waiting.
        ::tcflush(fd, TCIOFLUSH);
    }
    if (ports.wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(ports.wakeFd, &one, sizeof one);
    }
}

} // namespace plat
