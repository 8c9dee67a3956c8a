// The module's frame receiver: STX, LEN, LEN data bytes, BCC, ETX, guided by
// LEN alone (there is no escaping). A pure state machine fed one byte at a
// time, so the caller decides about answers and time-outs.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

class FrameReceiver {
public:
    enum class Result : uint8_t {
        Pending,     // byte taken inside a frame, nothing to answer yet
        Frame,       // a correct frame ended; data() holds its data
        BadChecksum, // the BCC did not match: answer NAK at once
        BadEnd,      // the byte after the BCC was not ETX: answer NAK
        Outside,     // the byte stands outside any frame (ACK, NAK, text)
    };

    Result feed(uint8_t byte);

    // True while a frame has begun and not ended; the caller bounds the
    // silence it allows there.
    bool inFrame() const { return state_ != State::Idle; }
    // The line went silent inside a frame. True when the frame broke off
    // unanswered (answer NAK); false when nothing was pending.
    bool breakOff();

    const std::vector<uint8_t>& data() const { return data_; }

private:
    enum class State : uint8_t { Idle, Length, Data, Check, End };

    Result onIdle(uint8_t byte);
    Result onLength(uint8_t byte);
    Result onData(uint8_t byte);
    Result onCheck(uint8_t byte);
    Result onEnd(uint8_t byte);

    State state_ = State::Idle;
    uint8_t length_ = 0;
    // Set once a bad BCC has been answered, so the ETX that still follows is
    // swallowed without a second NAK.
    bool answered_ = false;
    std::vector<uint8_t> data_;
};

} // namespace sim
