// In-memory serial line for tests and the module simulator; it is not part of
// the shipped library. A device registered under a name is opened as the path
// "virtual:<name>" through the ordinary openSerialPort path (a COM number may
// map to it), once registering has added that scheme; the
// device side sees every byte the host writes and the host's line settings
// and modem lines.
#pragma once

#include "plat/serial.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// What the host currently drives onto the line.
struct VirtualLineState {
    // As the host last set them (levels driven by hand included).
    LineSettings settings;
    // The levels on the wire: what the settings ask for, unless flow control
    // holds the line up or the device refuses modem lines.
    bool dtr = false;
    bool rts = false;
    bool hostOpen = false;

    bool operator==(const VirtualLineState&) const = default;
};

class VirtualDevice {
public:
    virtual ~VirtualDevice() = default;

    // Bytes the host wrote, oldest first; waits up to timeoutMs (or without
    // bound for kWaitForever) for at least one. Returns the number copied (0 on
    // time-out or after interruptRead).
    virtual size_t read(uint8_t* buffer, size_t maxCount, uint32_t timeoutMs) = 0;
    // Ends the device read that is waiting, or else the next one, with 0 bytes
    // at once: how a simulator thread is told to stop.
    virtual void interruptRead() = 0;
    // Bytes towards the host. With pacing on they arrive one character time
    // apart at the host's current baud rate (bits per character from its data
    // and stop bits); otherwise at once. Like a real line, bytes sent while
    // the host side is closed (or after hangUp) are lost.
    virtual void write(const uint8_t* data, size_t count) = 0;

    // Pace both directions at the host's baud rate: host writes take their
    // wire time, device bytes arrive at wire speed.
    virtual void setPaced(bool paced) = 0;

    virtual VirtualLineState lineState() const = 0;
    // Called (on the thread that made the change, the host's for all but
    // setNoModemLines; outside the line's locks, so it may call back into the
    // device) after every change of settings, DTR or RTS, and at host open
    // and close. The host opens with DTR and RTS low; closing
    // drops both, as a real port does.
    virtual void setLineObserver(std::function<void(const VirtualLineState&)> observer) = 0;

    // Make host reads and writes (and every other host operation, and later
    // opens) fail with EIO as an unplugged adapter does.
    virtual void hangUp() = 0;
    // Refuse raising DTR with ENOTTY, like a pseudo-terminal; DTR and RTS then
    // stay low.
    virtual void setNoModemLines(bool refuse) = 0;
    // Refuse host settings above this baud rate with EINVAL, like a driver
    // with a slower UART; 0 (the default) accepts any rate.
    virtual void setMaxBaudRate(uint32_t baudRate) = 0;
    // Discard bytes the host wrote and has not been read yet.
    virtual void discardFromHost() = 0;
};

// Registers a device; it is reachable as "virtual:<name>" until the last
// shared pointer to it goes. Registering a taken name replaces it.
std::shared_ptr<VirtualDevice> registerVirtualDevice(const std::string& name);
void unregisterVirtualDevice(const std::string& name);

} // namespace plat
