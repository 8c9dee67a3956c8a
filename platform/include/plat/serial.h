// Serial port seam: what every operating system offers for a serial line.
// Records that belong to one system only (the Windows device-control block,
// provider properties, driver time-outs and queue sizes) live inside that
// system's backend; the library above never sees them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace plat {

class Event;

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };
// Who paces the line. RtsCts and DtrDsr hand RTS or DTR to the driver, which
// raises it while it can take bytes and sends only while CTS or DSR is up;
// XonXoff stops and restarts the sender by the two characters in both
// directions. A system that cannot do one refuses it (Linux has no DTR/DSR).
enum class FlowControl : uint8_t { None, RtsCts, DtrDsr, XonXoff };

struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    // Levels of the two modem output lines while no flow control drives them.
    bool dtr = false;
    bool rts = false;
    FlowControl flowControl = FlowControl::None;
    // Applied whatever the flow control, so what is set is what reads back;
    // they act only under XonXoff.
    char xonChar = 0x11;
    char xoffChar = 0x13;

    bool operator==(const LineSettings&) const = default;
};

// Wire time of one character under these settings (start, data, parity and
// stop bits), in bits.
unsigned bitsPerCharacter(const LineSettings& settings);

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
    // Applies every field; a rate, character format or flow control the
    // driver does not take (or only seems to take) is refused with a system
    // error. A refused DTR (see setDtr) fails the call with the rest in force.
    virtual bool setLineSettings(const LineSettings& settings) = 0;

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
    // driven here is also what getLineSettings reports, so re-applying read
    // settings keeps the line.
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;

    // System error of the last refused operation on this port.
    virtual int lastError() const = 0;
};

// Where a port is: COM<n> as the library numbers ports, which the platform
// maps to a device, or a device path.
struct PortLocation {
    int comNumber = 0; // used when path is empty
    std::string path;

    static PortLocation com(int number) { return {number, {}}; }
    static PortLocation device(std::string path) { return {0, std::move(path)}; }
};

// Why an open failed: the system error and the device the location resolved
// to (empty when a COM number maps to none).
struct OpenError {
    int sysError = 0;
    std::string devicePath;
};

// Opens a port exclusively. *error (when given) names the device the location
// resolved to, also on success, so a failure after the open can name it too.
// On failure returns null with the system error there: EBUSY when another
// process or connection holds the port, ENOENT for a COM number that maps to
// nothing.
std::unique_ptr<SerialPort> openSerialPort(const PortLocation& where, OpenError* error);
// The same for a device path; kept for callers that have nothing else.
std::unique_ptr<SerialPort> openSerialPort(const std::string& path, int* sysError);

// Opens the port a path names after its scheme prefix; null with the system
// error when there is none.
using PortOpener = std::unique_ptr<SerialPort> (*)(const std::string& rest, int* sysError);
// Lets a program reach ports of a kind of its own, such as a test's in-memory
// line, through the ordinary open path: a path (or what a COM number maps to)
// that starts with `prefix` goes to `opener` with the rest of it. The shipped
// programs add none, so every path they open is a device.
void addPortScheme(const std::string& prefix, PortOpener opener);

// For a program that is being stopped (by a signal): every device port this
// process has open gets DTR low and leaves exclusive mode at once, and from
// now on its reads, writes and line changes fail with ECANCELED (a waiting
// read or write wakes), so that the job running on it ends as a failure and
// closes it; later opens of a device are refused with ECANCELED. Any thread
// may call it, a signal handler may not.
void abandonDevicePorts();

} // namespace plat
