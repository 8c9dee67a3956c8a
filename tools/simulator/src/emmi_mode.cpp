#include "sim/modes.h"

#include "sim/wire.h"

#include <optional>

namespace sim {

void EmmiMode::onByte(uint8_t byte)
{
    lastByte_ = Clock::now();
    switch (receiver_.feed(byte)) {
    case FrameReceiver::Result::Pending: break;
    case FrameReceiver::Result::Frame: onFrame(); break;
    case FrameReceiver::Result::BadChecksum:
        host_.badFrameReceived("wrong BCC");
        host_.answer(kNak);
        break;
    case FrameReceiver::Result::BadEnd:
        host_.badFrameReceived("no ETX");
        host_.answer(kNak);
        break;
    case FrameReceiver::Result::Outside: onOutsideByte(byte); break;
    }
}

std::optional<Clock::time_point> EmmiMode::deadline() const
{
    if (!receiver_.inFrame())
        return std::nullopt;
    return lastByte_ + std::chrono::milliseconds(host_.interByteTimeoutMs());
}

void EmmiMode::onDeadline()
{
    if (receiver_.breakOff()) {
        host_.badFrameReceived("broken off");
        host_.answer(kNak);
    }
}

void EmmiMode::onFrame()
{
    const bool refuse = !awaitingResend_ && host_.takeFault(&Faults::nakFirstTransmission);
    awaitingResend_ = refuse;

    std::optional<HostMessage> complete;
    if (!refuse) {
        const size_t givenUpBefore = assembler_.givenUp();
        const auto outcome = assembler_.add(receiver_.data());
        if (assembler_.givenUp() != givenUpBefore)
            host_.messageGivenUp();
        if (outcome == HostMessageAssembler::Outcome::Complete)
            complete = assembler_.take();
    }

    // Recorded before the answer goes out, so a host that has its ACK also
    // finds the frame and the message recorded; handled after it, so that a
    // reply never overtakes the ACK on the line.
    host_.frameReceived({receiver_.data(), refuse ? Answer::Nak : Answer::Ack});
    if (complete)
        host_.messageReceived(*complete);
    host_.answer(refuse ? kNak : kAck);
    if (complete)
        host_.handleMessage(*complete);
}

void EmmiMode::onOutsideByte(uint8_t byte)
{
    if (byte == kAck)
        host_.hostAnswered(Answer::Ack);
    else if (byte == kNak)
        host_.hostAnswered(Answer::Nak);
    else
        host_.strayByteReceived(byte);
}

} // namespace sim
