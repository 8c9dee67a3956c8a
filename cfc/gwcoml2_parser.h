// The EMMI frame on the wire and its receiver as a push parser.
//
// On the wire a frame is STX, LEN, LEN data bytes, BCC, ETX, with no escaping:
// the receiver is guided by LEN alone. Above the frame layer a frame travels
// in a frame buffer of one length byte followed by up to 255 data bytes.
#pragma once

#include "cfc_types.h"

#include <array>
#include <cstddef>
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

// Block check character of `count` data bytes: XOR of STX, the count and
// every byte.
uint8_t EmmiL2Checksum(const uint8_t* data, uint8_t count);

// Takes the received bytes one at a time and says what they make. It knows
// nothing of ports, threads or time: the reader asks how many bytes to read
// next and tells it when the line went quiet inside a frame.
class FrameParser {
public:
    enum class Event : uint8_t {
        NeedMore,   // inside a frame, more bytes are due
        Ack,        // an ACK byte outside any frame
        Nak,        // a NAK byte outside any frame
        Stray,      // any other byte outside a frame
        FrameStart, // STX: a frame begins
        Frame,      // a correct frame is complete; see frame()
        BadFrame,   // a frame ended wrong; see fault()
    };

    Event push(uint8_t byte);
    // The read inside a frame ended without its bytes, with the reader's code
    // (8 for silence, 9 for a refused read): the frame is broken off.
    // Outside a frame nothing is pending and NeedMore comes back.
    Event brokenOff(ErrorCode reason);

    // Bytes the frame's current part still needs: 1 outside a frame, the
    // rest of the data inside it. Reading this many never reads past the
    // frame.
    size_t wanted() const;
    bool inFrame() const { return state_ != State::Outside; }

    // After Frame: the length byte and the data.
    const FrameBuffer& frame() const { return frame_; }
    // After BadFrame: 2 (check character), 5 (no ETX) or the reader's code.
    ErrorCode fault() const { return fault_; }

private:
    enum class State : uint8_t { Outside, Length, Data, Check, End };

    Event fail(ErrorCode fault);

    State state_ = State::Outside;
    FrameBuffer frame_{};
    uint8_t received_ = 0;
    uint8_t check_ = 0;
    ErrorCode fault_ = 0;
};

} // namespace cfc
