// The simulator's side of a serial line: the in-memory device of the
// platform layer for tests, or a pseudo-terminal for programs that open a
// device path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {
class VirtualDevice;
}

namespace sim {

inline constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;

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
};

// The device side of an in-memory line; the host opens "virtual:<name>".
std::unique_ptr<Transport> makeVirtualTransport(std::shared_ptr<plat::VirtualDevice> device);

// A new pseudo-terminal: the simulator holds the master, the host opens the
// slave at *slavePath. Null with *sysError set when the system refuses.
std::unique_ptr<Transport> openPtyTransport(std::string* slavePath, int* sysError);

} // namespace sim
