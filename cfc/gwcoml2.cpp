#include "gwcoml2.h"

#include "cfc_pacing.h"
#include "cfc_trace.h"
#include "emmierr.h"
#include "gwcoml1.h"

#include <cstring>

namespace cfc {

// The layer's private steps, with access to the link's state.
struct FrameLinkSteps {
    // The write's result is not examined: a block that did not go out shows
    // as a missing answer.
    static void answerFrame(FrameLink& link, uint8_t answer) { SendBlock(link.pacer_, &answer, 1); }

    // The ACK count comes first, so one ACK ends the repetition whatever NAKs
    // came with it. NAKs count only beyond `naksBefore`, the NAKs that
    // answered earlier transmissions.
    static uint8_t countedAnswer(const FrameLink& link, uint16_t naksBefore)
    {
        if (link.ackCount_.load(std::memory_order_relaxed) != 0)
            return EMMIERR_ACK;
        if (link.nakCount_.load(std::memory_order_relaxed) != naksBefore)
            return EMMIERR_NAK;
        return kAckWokenWithoutCount;
    }

    static uint8_t awaitAnswer(FrameLink& link, uint16_t naksBefore)
    {
        if (const uint8_t answer = countedAnswer(link, naksBefore); answer != kAckWokenWithoutCount)
            return answer;
        if (!link.ackNak_.wait(EmmiL1GetTimeout(link.serial_, kTimeoutClassShort)))
            return EMMIERR_TIMEOUT;
        return countedAnswer(link, naksBefore);
    }

    // STX, LEN, data, BCC, ETX into the transmit buffer; the frame's length
    // on the wire.
    static uint16_t assembleFrame(FrameLink& link, const uint8_t* frameBuffer)
    {
        const uint8_t length = frameBuffer[0];
        uint8_t* out = link.txFrame_.data();
        out[0] = kStx;
        out[1] = length;
        std::memcpy(out + 2, frameBuffer + 1, length);
        out[2 + length] = EmmiL2Checksum(frameBuffer + 1, length);
        out[3 + length] = kEtx;
        return static_cast<uint16_t>(length + 4);
    }

    // A byte outside any frame: an answer to the host's own frame, or text
    // for the raw readers. Every such byte also goes to the sink.
    static ErrorCode takeOutsideByte(FrameLink& link, uint8_t byte, FrameParser::Event event)
    {
        ErrorCode result = EMMIERR_OK;
        switch (event) {
        case FrameParser::Event::Ack:
            link.ackCount_.fetch_add(1, std::memory_order_relaxed);
            link.ackNak_.set();
            break;
        case FrameParser::Event::Nak:
            link.nakCount_.fetch_add(1, std::memory_order_relaxed);
            link.ackNak_.set();
            break;
        default:
            result = EMMIERR_SYNC_LOST;
            if (link.syncLost_ == 0) {
                link.syncLost_ = 1;
                TraceLine(link.trace_, 8, "(GWC2) EMMI L2 frame synchronisation lost!");
            }
            break;
        }
        link.sink_->outsideByte(byte);
        return result;
    }

    // The rest of a frame whose STX the parser has taken, read part by part
    // as its length guides; the parser's verdict.
    static FrameParser::Event readFrameBody(FrameLink& link)
    {
        uint8_t bytes[kMaxFrameData];
        for (;;) {
            const size_t wanted = link.parser_.wanted();
            const ErrorCode code = EmmiL1Read(link.serial_, bytes, static_cast<uint8_t>(wanted));
            if (code != EMMIERR_OK)
                return link.parser_.brokenOff(code);
            for (size_t i = 0; i < wanted; ++i) {
                const FrameParser::Event event = link.parser_.push(bytes[i]);
                if (event != FrameParser::Event::NeedMore)
                    return event;
            }
        }
    }
};

void FrameLink::reset()
{
    ackNak_.reset();
    ackCount_.store(0);
    nakCount_.store(0);
    rawByteMode_.store(false);
    parser_ = FrameParser{};
    syncLost_ = 0;
    readRefused_ = false;
}

ErrorCode EmmiL2SendFrame(FrameLink& link, const uint8_t* frameBuffer, int32_t* acknowledged)
{
    int32_t ignored = 0;
    if (acknowledged == nullptr)
        acknowledged = &ignored;
    *acknowledged = 0;
    if (frameBuffer == nullptr)
        return EMMIERR_SYSTEM;
    const uint16_t wireLength = FrameLinkSteps::assembleFrame(link, frameBuffer);

    // Answers to an earlier frame must not count for this one.
    link.ackNak_.reset();
    link.ackCount_.store(0, std::memory_order_relaxed);
    link.nakCount_.store(0, std::memory_order_relaxed);
    for (unsigned sent = 1; sent <= kMaxFrameTransmissions; ++sent) {
        // A resend waits for its own answer; the NAK that asked for it is
        // already counted and must not send the frame again at once.
        if (sent > 1)
            link.ackNak_.reset();
        const uint16_t naksBefore = link.nakCount_.load(std::memory_order_relaxed);
        // A port that refused the frame will refuse it again; waiting for an
        // answer would only turn the system's refusal into a time-out.
        if (const ErrorCode written = SendBlock(link.pacer_, link.txFrame_.data(), wireLength);
            written != EMMIERR_OK) {
            OpTrace(link.trace_, "(GWC2)", "EmmiL2SendFrame")
                .step(8, "write fails with error %d", written);
            return written;
        }
        const uint8_t answer = FrameLinkSteps::awaitAnswer(link, naksBefore);
        if (answer == EMMIERR_ACK) {
            *acknowledged = 1;
            return EMMIERR_OK;
        }
        if (answer == EMMIERR_TIMEOUT) {
            OpTrace(link.trace_, "(GWC2)", "EmmiL2SendFrame")
                .step(8, "EmmiL2GetAck rets %d", answer);
            return EMMIERR_TIMEOUT;
        }
    }
    OpTrace(link.trace_, "(GWC2)", "EmmiL2SendFrame")
        .step(8, "no ACK after %u transmissions, fails with error %d", kMaxFrameTransmissions,
              EMMIERR_NAK);
    return EMMIERR_NAK;
}

uint8_t EmmiL2GetAck(FrameLink& link)
{
    return FrameLinkSteps::awaitAnswer(link, 0);
}

ErrorCode EmmiL2ReceiveFrame(FrameLink& link, uint8_t* frameBuffer, int32_t* frameReceived,
                             int32_t firstFrame)
{
    int32_t ignored = 0;
    if (frameReceived == nullptr)
        frameReceived = &ignored;
    *frameReceived = 0;
    if (frameBuffer == nullptr)
        return EMMIERR_SYSTEM;
    EmmiL1SetReadTimeout(link.serial_,
                         firstFrame != 0 ? kTimeoutClassOneSecond : kTimeoutClassShort);

    uint8_t byte = 0;
    const ErrorCode firstRead = EmmiL1Read(link.serial_, &byte, 1);
    link.readRefused_ = firstRead == EMMIERR_SYSTEM;
    if (firstRead != EMMIERR_OK)
        return EMMIERR_OK; // nothing arrived

    if (link.rawByteMode()) {
        link.sink_->outsideByte(byte);
        return EMMIERR_OK;
    }
    const FrameParser::Event start = link.parser_.push(byte);
    if (start != FrameParser::Event::FrameStart)
        return FrameLinkSteps::takeOutsideByte(link, byte, start);

    link.sink_->frameStarts();
    // The caller's thread may send meanwhile; it waits for the frame's reads
    // rather than cancel them, so a frame on its way is not broken off.
    EmmiL1SetFrameReadPending(link.serial_, true);
    const FrameParser::Event end = FrameLinkSteps::readFrameBody(link);
    EmmiL1SetFrameReadPending(link.serial_, false);
    if (end != FrameParser::Event::Frame) {
        FrameLinkSteps::answerFrame(link, kNak);
        return link.parser_.fault();
    }
    link.syncLost_ = 0;
    FrameLinkSteps::answerFrame(link, kAck);
    const FrameBuffer& frame = link.parser_.frame();
    std::memcpy(frameBuffer, frame.data(), size_t{frame[0]} + 1);
    *frameReceived = 1;
    return EMMIERR_OK;
}

} // namespace cfc
