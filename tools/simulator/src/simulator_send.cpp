// The module's sending side: messages go out frame by frame, each frame
// waiting for the host's ACK, sent again after a NAK or a silence, given up
// after the allowed number of transmissions. The staged faults strike here.
#include "sim/simulator.h"

namespace sim {

namespace {

// What the module interleaves when the fault asks for it: a short trace of
// one signal, complete in a single frame.
std::vector<uint8_t> interleavedTraceFrame()
{
    SignalTrace trace;
    trace.source = 0x0001;
    trace.destination = 0x0002;
    trace.frameNumber = 0x00012345;
    trace.time = 0x00000100;
    trace.signalId = 0x0000ABCD;
    trace.data = {0x11, 0x22, 0x33, 0x44};
    return segmentMessage(kTypeSignalTrace, signalTraceHeader(trace), trace.data).front();
}

} // namespace

void Simulator::sendLoop()
{
    for (;;) {
        Outgoing item;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !outbox_.empty(); });
            if (stopping_)
                return;
            item = std::move(outbox_.front());
            outbox_.pop_front();
        }
        item.done.set_value(deliver(item));
    }
}

bool Simulator::deliver(const Outgoing& item)
{
    // A switched-off module says nothing at all.
    if (mode_.load() == Mode::Off)
        return false;

    switch (item.kind) {
    case Kind::Text: return writeLine(item.frames.front(), "text");
    case Kind::SignalTrace:
        for (const auto& frame : item.frames)
            if (!sendFrame(frame))
                return false;
        return true;
    case Kind::Message: break;
    }

    std::string stray;
    {
        std::lock_guard lock(mutex_);
        stray = options_.faults.strayText;
    }
    const std::vector<uint8_t> strayBytes(stray.begin(), stray.end());
    if (takeFault(&Faults::strayTextBefore))
        writeLine(strayBytes, "stray text");
    const bool delivered = sendMessageFrames(item.frames);
    if (delivered && takeFault(&Faults::strayTextAfter))
        writeLine(strayBytes, "stray text");

    tally(delivered ? &Counters::messagesDelivered : &Counters::messagesAbandoned);
    return delivered;
}

bool Simulator::sendMessageFrames(const std::vector<std::vector<uint8_t>>& frames)
{
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i > 0 && takeFault(&Faults::interleaveSignalTrace) &&
            !sendFrame(interleavedTraceFrame()))
            return false;
        if (!sendFrame(frames[i]))
            return false;
    }
    return true;
}

bool Simulator::sendFrame(const std::vector<uint8_t>& data)
{
    if (takeFault(&Faults::dropFrame)) {
        if (tracing())
            trace("sim: frame dropped: " + hexBytes(data));
        return true;
    }

    const uint32_t allowed = options().maxTransmissions;
    for (uint32_t sent = 0; sent < allowed; ++sent) {
        std::vector<uint8_t> wire = encodeFrame(data);
        if (takeFault(&Faults::corruptBcc)) {
            wire[blockCheckOffset(data.size())] ^= 0xFF;
            if (tracing())
                trace("sim: BCC corrupted");
        }
        switch (transmit(wire)) {
        case Reply::Ack:
            if (takeFault(&Faults::repeatFrame))
                return transmit(encodeFrame(data)) != Reply::Stopped;
            return true;
        case Reply::Nak:
        case Reply::Silence: break;
        case Reply::Stopped: return false;
        }
    }
    if (tracing())
        trace("sim: frame given up after " + std::to_string(allowed) + " transmissions");
    return false;
}

Simulator::Reply Simulator::transmit(const std::vector<uint8_t>& wire)
{
    uint32_t bound;
    {
        std::lock_guard lock(mutex_);
        awaitingReply_ = true;
        reply_.reset();
        bound = options_.ackTimeoutMs;
        ++counters_.framesSent;
    }
    changed_.notify_all();
    const bool written = writeLine(wire, "frame");

    std::unique_lock lock(mutex_);
    if (written)
        changed_.wait_for(lock, std::chrono::milliseconds(bound),
                          [this] { return stopping_ || reply_.has_value(); });
    awaitingReply_ = false;
    if (stopping_)
        return Reply::Stopped;
    if (!reply_)
        return Reply::Silence;
    return *reply_ == Answer::Ack ? Reply::Ack : Reply::Nak;
}

bool Simulator::writeLine(const std::vector<uint8_t>& bytes, const char* what)
{
    if (tracing())
        trace(std::string("sim> ") + what + ": " + hexBytes(bytes));
    // Sent at a rate the host does not listen at, the bytes are noise; the
    // host finds nothing it can take for them.
    if (!understood(moduleBaudRate_.load())) {
        note("not heard at the host's baud rate");
        return true;
    }
    std::lock_guard lock(writeMutex_);
    return transport_->write(bytes.data(), bytes.size());
}

} // namespace sim
