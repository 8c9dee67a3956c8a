// Serial port seam. The library describes line settings the way the module's
// original host did (a device-control record); each backend maps them onto
// what its operating system offers and reports refusals as system errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

class Event;

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };
// How DTR or RTS is driven: held low, held high, or by flow control.
enum class LineControl : uint8_t { Disable, Enable, Handshake, Toggle };

struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    bool binary = true;
    bool parityCheck = false;
    bool ctsOutFlow = false;
    bool dsrOutFlow = false;
    LineControl dtrControl = LineControl::Disable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool errorReplace = false;
    bool nullStrip = false;
    LineControl rtsControl = LineControl::Disable;
    bool abortOnError = false;
    uint16_t xonLimit = 0;
    uint16_t xoffLimit = 0;
    char xonChar = 0;
    char xoffChar = 0;
    char errorChar = 0;
    char eofChar = 0;
    char eventChar = 0;

    bool operator==(const LineSettings&) const = default;
};

struct PortTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// Provider properties record, 64 bytes on the wire of the original API.
struct PortProperties {
    uint16_t packetLength = 64;
    uint16_t packetVersion = 0;
    uint32_t serviceMask = 0;
    uint32_t maxTxQueue = 0;
    uint32_t maxRxQueue = 0;
    uint32_t maxBaud = 0;
    uint32_t providerSubType = 0;
    uint32_t providerCapabilities = 0;
    uint32_t settableParams = 0;
    uint32_t settableBaud = 0;
    uint16_t settableData = 0;
    uint16_t settableStopParity = 0;
    uint32_t currentTxQueue = 0;
    uint32_t currentRxQueue = 0;
    uint32_t providerSpec1 = 0;
    uint32_t providerSpec2 = 0;
    uint32_t providerChar = 0;
};

// Provider capability: the port honours total (not just interval) time-outs.
inline constexpr uint32_t kCapTotalTimeouts = 0x40;

enum class IoStatus : uint8_t {
    Complete,  // all requested bytes transferred
    TimedOut,  // the bound passed first; `transferred` bytes did arrive
    Cancelled, // the cancel event was set while waiting
    Failed,    // the system refused (or the device vanished); see sysError
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    size_t transferred = 0;
    int sysError = 0;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool getLineSettings(LineSettings& settings) = 0;
    virtual bool setLineSettings(const LineSettings& settings) = 0;
    virtual bool setQueueSizes(uint32_t inBytes, uint32_t outBytes) = 0;
    virtual bool getProperties(PortProperties& properties) = 0;
    virtual bool setTimeouts(const PortTimeouts& timeouts) = 0;

    // Reads exactly `count` bytes unless `timeoutMs` passes or `cancel` is set
    // first. Bytes already waiting are taken even when cancel is set, so a
    // stale cancel never loses data that had fully arrived. kWaitForever waits
    // without bound. A vanished device (hang-up, unplugged adapter) is Failed
    // with EIO. The caller resets `cancel`.
    virtual IoResult read(uint8_t* buffer, size_t count, uint32_t timeoutMs,
                          const Event* cancel) = 0;
    // Returns once the bytes have left the driver (the caller relies on every
    // write being synchronous). A driver that takes no bytes for far longer
    // than their wire time fails the write with ETIMEDOUT.
    virtual IoResult write(const uint8_t* data, size_t count) = 0;

    virtual bool purge(bool rx, bool tx) = 0;
    // Raising DTR (the module's ignition) on a port without modem lines fails
    // with the system's refusal (ENOTTY on a pseudo-terminal). Lowering it, and
    // driving RTS either way, succeed there: nothing depends on them. A level
    // driven here is also what getLineSettings reports as DTR/RTS control
    // (Enable or Disable), so re-applying read settings keeps the line.
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;

    // System error of the last refused operation on this port.
    virtual int lastError() const = 0;
};

// Opens a port exclusively. `name` is a device name as the library forms it
// ("\\\\.\\COM3"), a device path, or "virtual:<name>" for an in-memory line.
// On failure returns null and stores the system error in *sysError: EBUSY
// when another process or connection holds the port, ENOENT for a COM number
// that maps to nothing.
std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int* sysError);

// For a program that is being stopped (by a signal): every device port this
// process has open gets DTR low and leaves exclusive mode at once, and from
// now on its reads, writes and line changes fail with ECANCELED (a waiting
// read or write wakes), so that the job running on it ends as a failure and
// closes it; later opens of a device are refused with ECANCELED. Any thread
// may call it, a signal handler may not.
void abandonDevicePorts();

} // namespace plat
