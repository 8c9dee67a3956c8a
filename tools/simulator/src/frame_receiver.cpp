#include "sim/frame_receiver.h"

#include "sim/wire.h"

namespace sim {

FrameReceiver::Result FrameReceiver::feed(uint8_t byte)
{
    switch (state_) {
    case State::Idle: return onIdle(byte);
    case State::Length: return onLength(byte);
    case State::Data: return onData(byte);
    case State::Check: return onCheck(byte);
    case State::End: return onEnd(byte);
    }
    return Result::Outside;
}

bool FrameReceiver::breakOff()
{
    const bool unanswered = inFrame() && !answered_;
    state_ = State::Idle;
    return unanswered;
}

FrameReceiver::Result FrameReceiver::onIdle(uint8_t byte)
{
    if (byte != kStx)
        return Result::Outside;
    data_.clear();
    answered_ = false;
    state_ = State::Length;
    return Result::Pending;
}

FrameReceiver::Result FrameReceiver::onLength(uint8_t byte)
{
    length_ = byte;
    state_ = length_ == 0 ? State::Check : State::Data;
    return Result::Pending;
}

FrameReceiver::Result FrameReceiver::onData(uint8_t byte)
{
    data_.push_back(byte);
    if (data_.size() == length_)
        state_ = State::Check;
    return Result::Pending;
}

FrameReceiver::Result FrameReceiver::onCheck(uint8_t byte)
{
    state_ = State::End;
    if (byte == blockCheck(data_))
        return Result::Pending;
    // Answer before the end byte: the host's serial-mode probe is a frame
    // with a wrong check byte and no ETX, and it expects its NAK quickly.
    answered_ = true;
    return Result::BadChecksum;
}

FrameReceiver::Result FrameReceiver::onEnd(uint8_t byte)
{
    state_ = State::Idle;
    if (answered_) {
        // The frame was refused at its check byte; only its ETX belongs to
        // it. The host's probe has none, so anything else is new input.
        return byte == kEtx ? Result::Pending : onIdle(byte);
    }
    if (byte == kEtx)
        return Result::Frame;
    // The end byte is wrong. When it is STX the host has already started its
    // next frame, which must not be lost with this one.
    if (byte == kStx)
        onIdle(byte);
    return Result::BadEnd;
}

} // namespace sim
