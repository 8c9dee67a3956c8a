// Serial ports on a Win32 COM device: overlapped reads and writes, each with
// its own completion event, so that a read also wakes on its cancel event.
#include "common/backend.h"
#include "common/device_port.h"
#include "common/line_settings.h"
#include "plat/event.h"
#include "win32/dcb_map.h"
#include "win32/wait_until.h"
#include "win32/win_error.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

namespace plat::detail {

namespace {

// Driver queues the module's traffic fits in: a whole EMMI block in, the
// short requests out.
constexpr DWORD kInputQueue = 4096;
constexpr DWORD kOutputQueue = 256;
// Each byte may take this long before the driver ends a read by itself; the
// read's own wait always ends first.
constexpr DWORD kDriverReadMsPerByte = 10000;
// Used only to bound the wait for a write the driver does not complete.
constexpr size_t kDriverBuffer = kOutputQueue;
constexpr auto kWriteSlack = std::chrono::seconds(2);

// The device ports this process has open, for abandonDevicePorts.
struct OpenPorts {
    std::mutex mutex;
    std::vector<HANDLE> handles;
    bool abandoned = false;
    // Set once the ports are abandoned: wakes every wait on a port.
    HANDLE wake = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

OpenPorts& openPorts()
{
    // Never destroyed: a console handler may abandon the ports while the
    // process runs its exit handlers.
    static OpenPorts* instance = new OpenPorts;
    return *instance;
}

std::atomic<bool> g_abandoned{false};

// An overlapped request whose completion event lives as long as the port.
struct Request {
    OVERLAPPED overlapped{};
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ~Request()
    {
        if (done)
            ::CloseHandle(done);
    }
    OVERLAPPED* start()
    {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = done;
        ::ResetEvent(done);
        return &overlapped;
    }
};

enum class Outcome { Done, TimedOut, Cancelled, Abandoned };

class Win32SerialPort final : public DevicePort {
public:
    Win32SerialPort(HANDLE port, const LineSettings& initial, const COMMPROP& properties)
        : DevicePort(initial), port_(port), properties_(properties)
    {
        OpenPorts& ports = openPorts();
        std::lock_guard lock(ports.mutex);
        ports.handles.push_back(port_);
        if (ports.abandoned)
            ::EscapeCommFunction(port_, CLRDTR);
    }
    ~Win32SerialPort() override
    {
        {
            OpenPorts& ports = openPorts();
            std::lock_guard lock(ports.mutex);
            std::erase(ports.handles, port_);
        }
        // The ignition stays low behind us, whatever the driver does on close.
        ::EscapeCommFunction(port_, CLRDTR);
        ::CloseHandle(port_);
    }

    bool getLineSettings(LineSettings& settings) override;
    bool setLineSettings(const LineSettings& settings) override;
    IoResult read(uint8_t* buffer, size_t count, uint32_t timeoutMs, const Event* cancel) override;
    IoResult write(const uint8_t* data, size_t count) override;
    bool purge(bool rx, bool tx) override;

private:
    // Waits for a started request until the deadline, the cancel event or
    // the abandonment; a request that did not finish is cancelled. Either way
    // the request is over on return and *transferred holds its bytes.
    Outcome finish(Request& request, Deadline deadline, const Event* cancel, DWORD* transferred,
                   DWORD* error);
    // A failed request leaves the port's error flags set, and a set flag
    // stops the driver until it is cleared.
    void clearErrors();
    int driveAtDriver(ModemLine line, bool high) override;

    const HANDLE port_;
    // The provider's description of the port, kept from the open for
    // diagnostics.
    const COMMPROP properties_;
    Request read_;
    Request write_;
};

void Win32SerialPort::clearErrors()
{
    DWORD errors = 0;
    ::ClearCommError(port_, &errors, nullptr);
}

bool Win32SerialPort::getLineSettings(LineSettings& settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port_, &dcb))
        return refuse(lastErrno());
    LineSettings current = remembered();
    fromDcb(dcb, current);
    settings = current;
    return true;
}

bool Win32SerialPort::setLineSettings(const LineSettings& settings)
{
    if (g_abandoned.load())
        return refuse(ECANCELED);
    if (const int error = checkLineSettings(settings))
        return refuse(error);
    DCB asked{};
    asked.DCBlength = sizeof asked;
    if (!::GetCommState(port_, &asked))
        return refuse(lastErrno());
    toDcb(settings, asked);
    if (!::SetCommState(port_, &asked))
        return refuse(lastErrno());
    DCB got{};
    got.DCBlength = sizeof got;
    if (!::GetCommState(port_, &got))
        return refuse(lastErrno());
    if (!sameFormat(asked, got))
        return refuse(EINVAL);

    // The block sets the lines too, but a driver without modem lines takes
    // it silently; driving them once more is where a refusal shows.
    const int error = applyModemLines(settings);
    return error == 0 || refuse(error);
}

Outcome Win32SerialPort::finish(Request& request, Deadline deadline, const Event* cancel,
                                DWORD* transferred, DWORD* error)
{
    const int cancelNative = cancel ? cancel->nativeHandle() : -1;
    HANDLE handles[3] = {request.done, openPorts().wake, nullptr};
    DWORD count = 2;
    if (cancelNative >= 0)
        handles[count++] = ::LongToHandle(cancelNative);
    Outcome outcome = Outcome::TimedOut;
    for (;;) {
        // Lowest index first: a request that completed wins over a cancel
        // set at the same time, so bytes that fully arrived are never lost.
        const DWORD rc = ::WaitForMultipleObjects(
            count, handles, FALSE, waitMsUntil(sliceFor(deadline, cancel && cancelNative < 0)));
        if (rc == WAIT_OBJECT_0) {
            outcome = Outcome::Done;
            break;
        }
        if (rc == WAIT_OBJECT_0 + 1) {
            outcome = Outcome::Abandoned;
            break;
        }
        if (cancel && cancel->isSet()) {
            outcome = Outcome::Cancelled;
            break;
        }
        if (rc == WAIT_FAILED || std::chrono::steady_clock::now() >= deadline)
            break;
    }
    if (outcome != Outcome::Done)
        ::CancelIoEx(port_, &request.overlapped);
    *error = 0;
    if (!::GetOverlappedResult(port_, &request.overlapped, transferred, TRUE)) {
        *error = ::GetLastError();
        // Cancelled by us: the bytes that came are kept, the rest is the
        // outcome above.
        if (*error == ERROR_OPERATION_ABORTED && outcome != Outcome::Done)
            *error = 0;
    } else if (outcome != Outcome::Done && outcome != Outcome::Abandoned) {
        // It completed in the moment before the cancel reached it.
        outcome = Outcome::Done;
    }
    return outcome;
}

IoResult Win32SerialPort::read(uint8_t* buffer, size_t count, uint32_t timeoutMs,
                               const Event* cancel)
{
    const Deadline deadline = deadlineAfter(timeoutMs);
    size_t got = 0;
    while (got < count) {
        if (g_abandoned.load())
            return failed(ECANCELED, got);
        const DWORD asked = static_cast<DWORD>(std::min<size_t>(count - got, 1u << 30));
        const auto issued = std::chrono::steady_clock::now();
        DWORD n = 0;
        Outcome outcome = Outcome::Done;
        DWORD error = 0;
        if (!::ReadFile(port_, buffer + got, asked, &n, read_.start())) {
            error = ::GetLastError();
            if (error == ERROR_IO_PENDING)
                outcome = finish(read_, deadline, cancel, &n, &error);
        }
        got += n;
        if (error != 0) {
            clearErrors();
            return failed(errnoFromWin32(error), got);
        }
        switch (outcome) {
        case Outcome::Abandoned: return failed(ECANCELED, got);
        case Outcome::Cancelled:
            if (got < count)
                return {IoStatus::Cancelled, got, 0};
            break;
        case Outcome::TimedOut:
            if (got < count)
                return {IoStatus::TimedOut, got, 0};
            break;
        case Outcome::Done:
            // Nothing at all, long before the driver's own bound: the device
            // is gone (an unplugged adapter), and asking again would spin.
            if (n == 0 && std::chrono::steady_clock::now() - issued <
                              std::chrono::milliseconds(uint64_t{asked} * kDriverReadMsPerByte))
                return failed(EIO, got);
            // The driver's own per-byte bound ended the read early; the wait
            // goes on until ours does.
            if (got < count && cancel && cancel->isSet())
                return {IoStatus::Cancelled, got, 0};
            if (got < count && std::chrono::steady_clock::now() >= deadline)
                return {IoStatus::TimedOut, got, 0};
            break;
        }
    }
    return {IoStatus::Complete, got, 0};
}

IoResult Win32SerialPort::write(const uint8_t* data, size_t count)
{
    if (g_abandoned.load())
        return failed(ECANCELED, 0);
    // The driver empties its queue at line speed unless flow control holds
    // it, so a generous multiple of the wire time bounds the wait.
    const auto bound = wireTime(remembered(), kDriverBuffer + count) * 2 + kWriteSlack;
    const Deadline deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(bound);
    size_t done = 0;
    while (done < count) {
        const DWORD asked = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        DWORD n = 0;
        DWORD error = 0;
        Outcome outcome = Outcome::Done;
        if (!::WriteFile(port_, data + done, asked, &n, write_.start())) {
            error = ::GetLastError();
            if (error == ERROR_IO_PENDING)
                outcome = finish(write_, deadline, nullptr, &n, &error);
        }
        done += n;
        if (error != 0) {
            clearErrors();
            return failed(errnoFromWin32(error), done);
        }
        if (outcome == Outcome::Abandoned)
            return failed(ECANCELED, done);
        if (outcome == Outcome::TimedOut) {
            clearErrors();
            return failed(ETIMEDOUT, done);
        }
        if (n == 0)
            return failed(EIO, done);
    }
    // The caller treats a write as done when the bytes are on the wire.
    if (!::FlushFileBuffers(port_))
        return failed(lastErrno(), done);
    return {IoStatus::Complete, done, 0};
}

bool Win32SerialPort::purge(bool rx, bool tx)
{
    if (!rx && !tx)
        return true;
    const DWORD flags = (rx ? PURGE_RXCLEAR : 0) | (tx ? PURGE_TXCLEAR : 0);
    return ::PurgeComm(port_, flags) || refuse(lastErrno());
}

int Win32SerialPort::driveAtDriver(ModemLine line, bool high)
{
    if (g_abandoned.load())
        return ECANCELED;
    const DWORD function =
        line == ModemLine::Dtr ? (high ? SETDTR : CLRDTR) : (high ? SETRTS : CLRRTS);
    return ::EscapeCommFunction(port_, function) ? 0 : lastErrno();
}

// What the port is set to when it is opened, as far as the system can say.
LineSettings initialSettings(const DCB& dcb)
{
    LineSettings settings;
    fromDcb(dcb, settings);
    settings.dtr = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    settings.rts = dcb.fRtsControl == RTS_CONTROL_ENABLE;
    return settings;
}

} // namespace

std::unique_ptr<SerialPort> openDevicePort(const std::string& path, int* sysError)
{
    if (g_abandoned.load()) {
        *sysError = ECANCELED;
        return nullptr;
    }
    // No sharing: a second opener, in this process or another, is refused.
    const HANDLE port =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OVERLAPPED | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A COM port that another program holds answers "access denied".
        *sysError = error == ERROR_ACCESS_DENIED ? EBUSY : errnoFromWin32(error);
        return nullptr;
    }
    const auto fail = [&](int error) -> std::unique_ptr<SerialPort> {
        ::CloseHandle(port);
        *sysError = error;
        return nullptr;
    };
    // A file or pipe under a COM name would take the settings calls below
    // as errors anyway; saying so is clearer.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    switch (::GetFileType(port)) {
    case FILE_TYPE_CHAR: break;
    case FILE_TYPE_UNKNOWN:
        // A name whose device has gone opens as nothing in particular (under
        // Wine, a port mapped to an adapter that is unplugged): the port is
        // missing, not of the wrong kind.
        if (!::GetCommState(port, &dcb))
            return fail(ENODEV);
        break;
    default: return fail(ENOTTY);
    }
    if (!::GetCommState(port, &dcb))
        return fail(lastErrno());
    if (!::SetupComm(port, kInputQueue, kOutputQueue))
        return fail(lastErrno());
    COMMPROP properties{};
    properties.wPacketLength = sizeof properties;
    ::GetCommProperties(port, &properties);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = kDriverReadMsPerByte;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!::SetCommTimeouts(port, &timeouts))
        return fail(lastErrno());
    return std::make_unique<Win32SerialPort>(port, initialSettings(dcb), properties);
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
    for (const HANDLE port : ports.handles) {
        ::EscapeCommFunction(port, CLRDTR);
        // Bytes held back by flow control would keep a flush waiting.
        ::PurgeComm(port, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    if (ports.wake)
        ::SetEvent(ports.wake);
}

} // namespace plat
