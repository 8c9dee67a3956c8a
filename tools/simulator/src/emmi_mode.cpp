#include "sim/modes.h"

#include "sim/transport.h"
#include "sim/wire.h"

#include <optional>

namespace sim {

uint32_t OffMode::silenceBoundMs() const
{
    return kNoTimeout;
}

void EmmiMode::onByte(uint8_t byte)
{
    switch (receiver_.feed(byte)) {
    case FrameReceiver::Result::Pending:
        break;
    case FrameReceiver::Result::Frame:
        onFrame();
        break;
    case FrameReceiver::Result::BadChecksum:
        host_.badFrameReceived("wrong BCC");
        host_.answer(kNak);
        break;
    case FrameReceiver::Result::BadEnd:
        host_.badFrameReceived("no ETX");
        host_.answer(kNak);
        break;
    case FrameReceiver::Result::Outside:
        onOutsideByte(byte);
        break;
    }
}

uint32_t EmmiMode::silenceBoundMs() const
{
    return receiver_.inFrame() ? host_.interByteTimeoutMs() : kNoTimeout;
}

void EmmiMode::onSilence()
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

std::unique_ptr<ModeBehaviour> makeModeBehaviour(Mode mode, ModeHost& host)
{
    switch (mode) {
    case Mode::Emmi: return std::make_unique<EmmiMode>(host);
    case Mode::Off: break;
    }
    return std::make_unique<OffMode>();
}

} // namespace sim
