// EMMI frame layer: frames with block check character and acknowledgement.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace cfc {

// Per-slot state of the frame layer. The receive thread counts ACK and NAK
// bytes that the caller's thread reads after the ACK/NAK event, hence atomics.
struct L2State {
    std::atomic<uint16_t> ackCount{0};
    std::atomic<uint16_t> nakCount{0};
    // Receive thread only.
    uint8_t syncLost = 0;
    // STX, LEN, up to 255 data bytes, BCC, ETX.
    std::array<uint8_t, 259> txFrame{};
};

} // namespace cfc
