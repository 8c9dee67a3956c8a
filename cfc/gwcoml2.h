// EMMI frame layer: frames with block check character and acknowledgement.
//
// On the wire a frame is STX, LEN, LEN data bytes, BCC, ETX, with no escaping:
// the receiver is guided by LEN alone. Above this layer a frame travels in a
// frame buffer of one length byte followed by up to 255 data bytes.
#pragma once

#include "cfc_types.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace cfc {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;

inline constexpr size_t kMaxFrameData = 255;
// A frame buffer: the length byte and room for the longest frame's data, so
// no length byte from the module can make a write leave it.
inline constexpr size_t kFrameBufferSize = 1 + kMaxFrameData;
using FrameBuffer = std::array<uint8_t, kFrameBufferSize>;

// Transmissions of one frame before EmmiL2SendFrame gives up on a module or
// a line that answers every one of them with NAK.
inline constexpr unsigned kMaxFrameTransmissions = 10;

// Per-slot state of the frame layer. The receive thread counts ACK and NAK
// bytes that the caller's thread reads after the ACK/NAK event, hence atomics.
struct L2State {
    std::atomic<uint16_t> ackCount{0};
    std::atomic<uint16_t> nakCount{0};
    // Receive thread only: set at the first stray byte of a run, so the run
    // is reported once; cleared by a correct frame.
    uint8_t syncLost = 0;
    // Receive thread only: the last first-byte read was refused by the port
    // (an unplugged adapter), so the thread waits before it reads again.
    bool readRefused = false;
    // Caller's thread only: STX, LEN, up to 255 data bytes, BCC, ETX.
    std::array<uint8_t, kMaxFrameData + 4> txFrame{};
};

// Results of EmmiL2GetAck besides EMMIERR_ACK, EMMIERR_NAK and
// EMMIERR_TIMEOUT: woken, but neither an ACK nor a NAK was counted.
inline constexpr uint8_t kAckWokenWithoutCount = 0;

// Block check character of `count` data bytes: XOR of STX, the count and
// every byte.
uint8_t EmmiL2Checksum(const uint8_t* data, uint8_t count);

// Sends the frame in `frameBuffer` (length byte and data) until the module
// acknowledges it. 0 with *acknowledged 1; 8 when an answer stayed out;
// 6 when every one of kMaxFrameTransmissions transmissions drew a NAK.
ErrorCode EmmiL2SendFrame(uint32_t handle, uint8_t* frameBuffer, int32_t* acknowledged);

// The answer to the current frame: 1 when an ACK was counted since its first
// transmission, else 6 when a NAK was; otherwise waits for either up to the
// class-0 time-out: 8 when none came, 0 when woken without a count.
uint8_t EmmiL2GetAck(uint32_t handle);

// Receive thread: takes one byte or one frame. *frameReceived is 1 only for
// a correct frame, whose length byte and data are then in `frameBuffer`
// (kFrameBufferSize bytes). Every frame is answered with ACK or NAK; bytes
// outside frames are counted (ACK, NAK) and go to the raw receive buffer.
// Result 0, or for a faulty frame 2 (BCC), 5 (no ETX), 8 (broken off) or 9
// (port refused), or 7 for a stray byte outside frames.
ErrorCode EmmiL2ReceiveFrame(uint32_t handle, uint8_t* frameBuffer, int32_t* frameReceived,
                             int32_t firstFrame);

} // namespace cfc
