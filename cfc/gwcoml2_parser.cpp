#include "gwcoml2_parser.h"

#include "emmierr.h"

namespace cfc {

uint8_t EmmiL2Checksum(const uint8_t* data, uint8_t count)
{
    uint8_t check = kStx ^ count;
    for (uint8_t i = 0; i < count; ++i)
        check ^= data[i];
    return check;
}

FrameParser::Event FrameParser::push(uint8_t byte)
{
    switch (state_) {
    case State::Outside:
        switch (byte) {
        case kStx: state_ = State::Length; return Event::FrameStart;
        case kAck: return Event::Ack;
        case kNak: return Event::Nak;
        default: return Event::Stray;
        }
    case State::Length:
        frame_[0] = byte;
        received_ = 0;
        state_ = byte > 0 ? State::Data : State::Check;
        return Event::NeedMore;
    case State::Data:
        frame_[1 + received_++] = byte;
        if (received_ == frame_[0])
            state_ = State::Check;
        return Event::NeedMore;
    case State::Check:
        check_ = byte;
        state_ = State::End;
        return Event::NeedMore;
    case State::End:
        state_ = State::Outside;
        // The end byte is judged before the check character.
        if (byte != kEtx)
            return fail(EMMIERR_FRAME_END);
        if (check_ != EmmiL2Checksum(frame_.data() + 1, frame_[0]))
            return fail(EMMIERR_CHECKSUM);
        return Event::Frame;
    }
    return Event::NeedMore;
}

FrameParser::Event FrameParser::brokenOff(ErrorCode reason)
{
    if (state_ == State::Outside)
        return Event::NeedMore;
    state_ = State::Outside;
    return fail(reason);
}

size_t FrameParser::wanted() const
{
    return state_ == State::Data ? size_t{frame_[0]} - received_ : 1;
}

FrameParser::Event FrameParser::fail(ErrorCode fault)
{
    fault_ = fault;
    return Event::BadFrame;
}

} // namespace cfc
