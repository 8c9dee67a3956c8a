// Send pacing: every block to the port goes out here. Old module firmware
// loses a block that follows the previous one too closely, so while the delay
// workaround is on every block keeps a 10 ms gap after the one before.
#pragma once

#include "cfc_types.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cfc {

class SerialLink;
class TraceChannel;

class SendPacer {
public:
    SendPacer(SerialLink& serial, const TraceChannel& trace) : serial_(serial), trace_(trace) {}
    SendPacer(const SendPacer&) = delete;
    SendPacer& operator=(const SendPacer&) = delete;

    // Decided by the target version; read by both threads.
    void setDelayWorkaround(bool on) { delayWorkaround_.store(on, std::memory_order_relaxed); }
    bool delayWorkaround() const { return delayWorkaround_.load(std::memory_order_relaxed); }

private:
    friend ErrorCode SendBlock(SendPacer&, const uint8_t*, uint16_t);

    SerialLink& serial_;
    const TraceChannel& trace_;
    std::atomic<bool> delayWorkaround_{false};
    std::atomic<uint64_t> lastBlockTime_{0};
    // Held from the gap check until the block is out while the workaround is
    // on, so that an ACK from the receive thread and a frame from the
    // caller's thread cannot both pass the check at once.
    std::mutex lock_;
};

// Writes one block, keeping the gap while the workaround is on. The write's
// code: 0, or 9 when the port refused it.
ErrorCode SendBlock(SendPacer& pacer, const uint8_t* data, uint16_t length);

} // namespace cfc
