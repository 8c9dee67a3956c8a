#include "gwcoml1.h"

#include "emmierr.h"

#include "plat/portmap.h"

#include <cerrno>
#include <mutex>
#include <optional>
#include <string>

namespace cfc {

namespace {

constexpr uint32_t kInitialReadTimeout = 10000;
constexpr uint32_t kRawClass0Timeout = 50;
constexpr uint32_t kClass3Timeout = 1;

// Read time-out of a class; `class0` differs between the two columns.
uint32_t timeoutOfClass(uint32_t class0, uint32_t class2, uint32_t interChar, uint8_t timeoutClass)
{
    switch (timeoutClass) {
    case kTimeoutClassShort: return class0;
    case kTimeoutClassOneSecond: return class2;
    case kTimeoutClassOneMillisecond: return kClass3Timeout;
    default: return interChar; // inter-character and any other
    }
}

// A line preset of module boot; DTR stays as it is where `dtr` is empty.
struct LinePreset {
    uint32_t baudRate;
    std::optional<bool> dtr;
    bool rts;
    plat::StopBits stopBits;
};

constexpr LinePreset kBootPreset{57600, std::nullopt, false, plat::StopBits::One};
constexpr LinePreset kDtrOnPreset{115200, true, true, plat::StopBits::Two};
constexpr LinePreset kDtrOffPreset{115200, false, true, plat::StopBits::Two};

} // namespace

// The layer's private steps, with access to the link's state.
struct SerialLinkSteps {
    static void recordSystemError(SerialLink& link, int error)
    {
        link.lastSystemError_.store(error, std::memory_order_relaxed);
    }

    // Takes the port lock for a writer. A reader holds it while it waits:
    // cancel its read instead of waiting out its time-out. The gate keeps a
    // new read from starting between the reader letting go and this writer
    // taking the port.
    static std::unique_lock<std::mutex> takePortAsWriter(SerialLink& link)
    {
        std::unique_lock<std::mutex> portHold(link.portLock_, std::try_to_lock);
        if (!portHold.owns_lock()) {
            std::lock_guard<std::mutex> gate(link.readGate_);
            // A read cancelled inside a frame breaks the frame off and draws a
            // NAK; the rest of the frame is due within the read's time-out, so
            // the writer waits for it instead.
            if (!link.frameReadPending_.load())
                link.readCancel_.set();
            portHold.lock();
        }
        return portHold;
    }

    // Reads the port's settings, changes the preset's fields and writes them
    // back, as a writer of the port so that no read runs meanwhile.
    static ErrorCode applyPreset(SerialLink& link, const LinePreset& preset)
    {
        if (!link.port_)
            return EMMIERR_SYSTEM;
        const std::unique_lock<std::mutex> portHold = takePortAsWriter(link);
        plat::LineSettings settings;
        if (!link.port_->getLineSettings(settings)) {
            recordSystemError(link, link.port_->lastError());
            return EMMIERR_SYSTEM;
        }
        settings.baudRate = preset.baudRate;
        if (preset.dtr)
            settings.dtr = *preset.dtr;
        settings.rts = preset.rts;
        settings.stopBits = preset.stopBits;
        if (!link.port_->setLineSettings(settings)) {
            recordSystemError(link, link.port_->lastError());
            return EMMIERR_SYSTEM;
        }
        return EMMIERR_OK;
    }

    // The opened port configured as the connection needs it; 0, or 4 with
    // the system's reason kept. A refused line setting would leave the port
    // at a speed or framing the module does not use, so it fails the open.
    static ErrorCode configure(SerialLink& link, plat::SerialPort& port, int32_t baudRate)
    {
        plat::LineSettings settings;
        port.getLineSettings(settings);
        EmmiL1ConfigurePort(link, settings, baudRate);
        if (!port.setLineSettings(settings)) {
            recordSystemError(link, port.lastError());
            return EMMIERR_PORT_OPEN;
        }
        return EMMIERR_OK;
    }
};

uint32_t InterCharacterTime(uint32_t baudRate)
{
    if (baudRate == 0)
        baudRate = 1; // never reached through an open, which refuses rate 0
    return (11000000u / baudRate) * 15u / 1000u + 1u;
}

void EmmiL1ConfigurePort(SerialLink& link, plat::LineSettings& s, int32_t baudRate)
{
    // The module's line: 8 data bits, no parity, two stop bits, no flow
    // control, DTR (its ignition) low and RTS high. A Windows backend adds
    // its own driver records (binary mode, no error replacement, queue sizes,
    // driver time-outs) privately.
    s.baudRate = static_cast<uint32_t>(baudRate);
    s.dataBits = 8;
    s.parity = plat::Parity::None;
    s.stopBits = plat::StopBits::Two;
    s.dtr = false;
    s.rts = true;
    s.flowControl = plat::FlowControl::None;
    s.xonChar = 0;
    s.xoffChar = 1;

    link.class0Timeout_.store(750);
    link.interCharTime_.store(InterCharacterTime(s.baudRate));
    link.class2Timeout_.store(1000);
}

ErrorCode EmmiL1CommsOpen(SerialLink& link, int32_t comNumber, int32_t baudRate)
{
    // A rate the line cannot run at is a configuration the port refuses.
    if (baudRate <= 0) {
        link.openError_ = {EINVAL, plat::comPortPath(comNumber).value_or(std::string())};
        SerialLinkSteps::recordSystemError(link, EINVAL);
        return EMMIERR_PORT_OPEN;
    }
    std::unique_ptr<plat::SerialPort> port =
        plat::openSerialPort(plat::PortLocation::com(comNumber), &link.openError_);
    if (!port) {
        SerialLinkSteps::recordSystemError(link, link.openError_.sysError);
        return EMMIERR_PORT_OPEN;
    }
    if (const ErrorCode code = SerialLinkSteps::configure(link, *port, baudRate);
        code != EMMIERR_OK)
        return code;
    // The cancel must wake a read that sleeps on the port, so it gets a
    // descriptor for as long as the port is open.
    int eventError = 0;
    if (!link.readCancel_.attachPollHandle(&eventError)) {
        SerialLinkSteps::recordSystemError(link, eventError);
        return EMMIERR_SYSTEM;
    }
    link.readTimeout_.store(kInitialReadTimeout);
    link.readTimeoutClass_.store(0);
    link.rawReadTimeout_.store(0);
    link.frameReadPending_.store(false);
    link.readCancel_.reset();
    link.port_ = std::move(port);
    return EMMIERR_OK;
}

void EmmiL1CommsClose(SerialLink& link)
{
    if (!link.port_)
        return;
    link.port_->purge(true, true);
    link.port_.reset();
    link.readCancel_.reset();
    link.readCancel_.detachPollHandle();
}

ErrorCode EmmiL1Write(SerialLink& link, const uint8_t* data, uint16_t length)
{
    if (!link.port_)
        return EMMIERR_SYSTEM;
    const std::unique_lock<std::mutex> portHold = SerialLinkSteps::takePortAsWriter(link);
    const plat::IoResult result = link.port_->write(data, length);
    if (result.status == plat::IoStatus::Complete)
        return EMMIERR_OK;
    SerialLinkSteps::recordSystemError(link, result.sysError);
    return EMMIERR_SYSTEM;
}

ErrorCode EmmiL1Read(SerialLink& link, uint8_t* buffer, uint8_t count)
{
    if (!link.port_)
        return EMMIERR_SYSTEM;
    std::unique_lock<std::mutex> gate(link.readGate_);
    std::lock_guard<std::mutex> portHold(link.portLock_);
    gate.unlock();

    const plat::IoResult result = link.port_->read(
        buffer, count, link.readTimeout_.load(std::memory_order_relaxed), &link.readCancel_);
    // A cancel is meant for the read it ended (or, set while no read was
    // pending, for the next one); the port's read takes bytes that already
    // waited before it looks at the event, so resetting after every read
    // loses nothing.
    link.readCancel_.reset();
    switch (result.status) {
    case plat::IoStatus::Complete: return EMMIERR_OK;
    case plat::IoStatus::TimedOut:
    case plat::IoStatus::Cancelled: return EMMIERR_TIMEOUT;
    case plat::IoStatus::Failed: break;
    }
    SerialLinkSteps::recordSystemError(link, result.sysError);
    return EMMIERR_SYSTEM;
}

ErrorCode EmmiL1SetReadTimeout(SerialLink& link, uint8_t timeoutClass)
{
    link.readTimeoutClass_.store(timeoutClass, std::memory_order_relaxed);
    link.readTimeout_.store(EmmiL1GetTimeout(link, timeoutClass), std::memory_order_relaxed);
    return EMMIERR_OK;
}

uint32_t EmmiL1GetTimeout(const SerialLink& link, uint8_t timeoutClass)
{
    return timeoutOfClass(link.class0Timeout_.load(std::memory_order_relaxed),
                          link.class2Timeout_.load(std::memory_order_relaxed),
                          link.interCharTime_.load(std::memory_order_relaxed), timeoutClass);
}

ErrorCode EmmiL1SetRawReadTimeout(SerialLink& link, uint8_t timeoutClass)
{
    link.rawReadTimeout_.store(
        timeoutOfClass(kRawClass0Timeout, link.class2Timeout_.load(std::memory_order_relaxed),
                       link.interCharTime_.load(std::memory_order_relaxed), timeoutClass),
        std::memory_order_relaxed);
    return EMMIERR_OK;
}

uint32_t EmmiL1GetRawReadTimeout(const SerialLink& link)
{
    return link.rawReadTimeout_.load(std::memory_order_relaxed);
}

ErrorCode EmmiL1SetLineBoot(SerialLink& link)
{
    return SerialLinkSteps::applyPreset(link, kBootPreset);
}

ErrorCode EmmiL1SetLineDtrOn(SerialLink& link)
{
    return SerialLinkSteps::applyPreset(link, kDtrOnPreset);
}

ErrorCode EmmiL1SetLineDtrOff(SerialLink& link)
{
    return SerialLinkSteps::applyPreset(link, kDtrOffPreset);
}

ErrorCode EmmiL1SetDtr(SerialLink& link, bool high)
{
    if (!link.port_)
        return EMMIERR_SYSTEM;
    const std::unique_lock<std::mutex> portHold = SerialLinkSteps::takePortAsWriter(link);
    if (link.port_->setDtr(high))
        return EMMIERR_OK;
    SerialLinkSteps::recordSystemError(link, link.port_->lastError());
    return EMMIERR_SYSTEM;
}

void EmmiL1CancelRead(SerialLink& link)
{
    link.readCancel_.set();
}

void EmmiL1ResetCancel(SerialLink& link)
{
    link.readCancel_.reset();
}

bool EmmiL1AwaitCancel(const SerialLink& link, uint32_t timeoutMs)
{
    return link.readCancel_.wait(timeoutMs);
}

void EmmiL1SetFrameReadPending(SerialLink& link, bool pending)
{
    link.frameReadPending_.store(pending);
}

} // namespace cfc
