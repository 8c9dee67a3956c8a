// A real connection over the in-memory line, opened once per fuzzing process,
// with the harness playing the module on the device side. Each input is sent
// as module bytes; settle() then brings the receiver back to a known state and
// returns only when the receive thread has consumed everything sent before,
// so one input never bleeds into the next.
#pragma once

#include "plat/virtual_serial.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fuzzlink {

class ModuleLine {
public:
    // Opens the connection on first use; aborts when it cannot, as nothing
    // could be fuzzed without it.
    static ModuleLine& instance();

    uint32_t handle() const { return handle_; }

    // Bytes from the module, at once (the line is not paced).
    void send(const uint8_t* data, size_t size);
    // Switches the receive thread's raw-byte mode for the bytes sent next.
    void setRawByteMode(bool on);

    // Ends whatever frame or message the bytes sent so far left open, sends a
    // marker message and waits until it comes out of the receive queue,
    // dropping every message queued before it. Aborts when the marker does
    // not arrive within a bound far above its wire time: the receiver lost a
    // correct message or hung, which is a finding of its own.
    void settle();

    // Closes the connection, with whatever the module sent still in flight,
    // and opens it again; then settles.
    void reopen();

    ModuleLine(const ModuleLine&) = delete;
    ModuleLine& operator=(const ModuleLine&) = delete;

private:
    ModuleLine();
    void open();
    void sendFrame(const uint8_t* data, uint8_t size);
    void checkSettledState();

    std::shared_ptr<plat::VirtualDevice> device_;
    uint32_t handle_ = 0;
    uint64_t markerCount_ = 0;
    // Bytes sent since the last STX, so settle() knows whether a frame can
    // still be open (an STX may start one in raw-byte mode too, should the
    // mode be switched off before the receive thread reached it).
    size_t sinceStx_ = SIZE_MAX;
};

} // namespace fuzzlink
