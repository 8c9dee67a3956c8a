// The simulator's side of a serial line: the in-memory device of the
// platform layer for tests, or a pseudo-terminal for programs that open a
// device path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {
class VirtualDevice;
} // namespace plat

namespace sim {

inline constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;

// What the host drives onto the line, as far as the module can tell.
struct LineState {
    uint32_t baudRate = 0; // 0: not known
    bool dtr = false;
};

using LineObserver = std::function<void(const LineState&)>;

class Transport {
public:
    virtual ~Transport() = default;

    // Bytes from the host, waiting up to timeoutMs (kNoTimeout: until bytes
    // come or interrupt() is called) for at least one. 0 on time-out and
    // after interrupt().
    virtual size_t read(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) = 0;
    // Bytes towards the host, all of them or false.
    virtual bool write(const uint8_t* data, size_t count) = 0;
    // Wakes a blocked read; every later read returns 0 at once. For stopping.
    virtual void interrupt() = 0;
    // Ends the read that is waiting, or else the next one, with 0 bytes:
    // the module has something to do besides listening.
    virtual void wake() = 0;

    // Reports the host's line state: once at once, then at every change, on
    // the thread that made it. An empty observer ends the reports; it
    // returns once a report under way has ended. A line that cannot tell
    // never reports.
    virtual void watchLine(LineObserver observer) { (void)observer; }
};

// The device side of an in-memory line; the host opens "virtual:<name>".
std::unique_ptr<Transport> makeVirtualTransport(std::shared_ptr<plat::VirtualDevice> device);

// A new pseudo-terminal: the simulator holds the master, the host opens the
// slave at *slavePath. Null with *sysError set when the system refuses.
std::unique_ptr<Transport> openPtyTransport(std::string* slavePath, int* sysError);

} // namespace sim
