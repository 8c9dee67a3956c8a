#include "gwcoml2.h"

#include "cfc_intern.h"
#include "cfc_pacing.h"
#include "cfc_rawrx.h"
#include "cfc_trace.h"
#include "emmierr.h"
#include "gwcoml1.h"

#include <cstring>

namespace cfc {

namespace {

// Every block goes to the port between the pacing prolog and epilog. The
// write's result is not examined: a block that did not go out shows as a
// missing answer.
void sendBlock(uint32_t handle, const uint8_t* data, uint16_t length) {
    SendBlockProlog(handle);
    EmmiL1Write(handle, data, length);
    SendBlockEpilog(handle);
}

void answerFrame(uint32_t handle, uint8_t answer) { sendBlock(handle, &answer, 1); }

// The ACK count comes first, so one ACK ends the repetition whatever NAKs
// came with it. NAKs count only beyond `naksBefore`, the NAKs that answered
// earlier transmissions.
uint8_t countedAnswer(const L2State& l2, uint16_t naksBefore) {
    if (l2.ackCount.load(std::memory_order_relaxed) != 0)
        return EMMIERR_ACK;
    if (l2.nakCount.load(std::memory_order_relaxed) != naksBefore)
        return EMMIERR_NAK;
    return kAckWokenWithoutCount;
}

uint8_t awaitAnswer(Slot& slot, uint32_t handle, uint16_t naksBefore) {
    if (const uint8_t answer = countedAnswer(slot.l2, naksBefore); answer != kAckWokenWithoutCount)
        return answer;
    if (!slot.events.rxAckNak.wait(EmmiL1GetTimeout(handle, kTimeoutClassShort)))
        return EMMIERR_TIMEOUT;
    return countedAnswer(slot.l2, naksBefore);
}

// STX, LEN, data, BCC, ETX into the slot's transmit buffer; the frame's length
// on the wire.
uint16_t assembleFrame(L2State& l2, const uint8_t* frameBuffer) {
    const uint8_t length = frameBuffer[0];
    uint8_t* out = l2.txFrame.data();
    out[0] = kStx;
    out[1] = length;
    std::memcpy(out + 2, frameBuffer + 1, length);
    out[2 + length] = EmmiL2Checksum(frameBuffer + 1, length);
    out[3 + length] = kEtx;
    return static_cast<uint16_t>(length + 4);
}

// LEN, data, BCC and ETX of a frame whose STX has been read, into the frame
// buffer. 0 for a correct frame, else the code of the fault.
ErrorCode readFrameBody(uint32_t handle, uint8_t* frameBuffer) {
    if (const ErrorCode code = EmmiL1Read(handle, frameBuffer, 1); code != EMMIERR_OK)
        return code;
    const uint8_t length = frameBuffer[0];
    if (length > 0) {
        if (const ErrorCode code = EmmiL1Read(handle, frameBuffer + 1, length); code != EMMIERR_OK)
            return code;
    }
    uint8_t check = 0;
    if (const ErrorCode code = EmmiL1Read(handle, &check, 1); code != EMMIERR_OK)
        return code;
    uint8_t end = 0;
    if (const ErrorCode code = EmmiL1Read(handle, &end, 1); code != EMMIERR_OK)
        return code;
    if (end != kEtx)
        return EMMIERR_FRAME_END;
    if (check != EmmiL2Checksum(frameBuffer + 1, length))
        return EMMIERR_CHECKSUM;
    return EMMIERR_OK;
}

// A byte outside any frame: an answer to the host's own frame, or text for
// the raw readers. Every such byte also lands in the raw receive buffer.
ErrorCode takeOutsideByte(uint32_t handle, Slot& slot, uint8_t byte, bool rawByteMode) {
    ErrorCode result = EMMIERR_OK;
    if (!rawByteMode) {
        if (byte == kAck) {
            slot.l2.ackCount.fetch_add(1, std::memory_order_relaxed);
            slot.events.rxAckNak.set();
        } else if (byte == kNak) {
            slot.l2.nakCount.fetch_add(1, std::memory_order_relaxed);
            slot.events.rxAckNak.set();
        } else {
            result = EMMIERR_SYNC_LOST;
            if (slot.l2.syncLost == 0) {
                slot.l2.syncLost = 1;
                TraceLine(handle, 8, "(GWC2) EMMI L2 frame synchronisation lost!");
            }
        }
    }
    AddToRawRxBuffer(handle, &byte, 1);
    return result;
}

} // namespace

uint8_t EmmiL2Checksum(const uint8_t* data, uint8_t count) {
    uint8_t check = kStx ^ count;
    for (uint8_t i = 0; i < count; ++i)
        check ^= data[i];
    return check;
}

ErrorCode EmmiL2SendFrame(uint32_t handle, uint8_t* frameBuffer, int32_t* acknowledged) {
    int32_t ignored = 0;
    if (acknowledged == nullptr)
        acknowledged = &ignored;
    *acknowledged = 0;
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || frameBuffer == nullptr)
        return EMMIERR_SYSTEM;
    L2State& l2 = slot->l2;
    const uint16_t wireLength = assembleFrame(l2, frameBuffer);

    // Answers to an earlier frame must not count for this one.
    slot->events.rxAckNak.reset();
    l2.ackCount.store(0, std::memory_order_relaxed);
    l2.nakCount.store(0, std::memory_order_relaxed);
    for (unsigned sent = 1; sent <= kMaxFrameTransmissions; ++sent) {
        // A resend waits for its own answer; the NAK that asked for it is
        // already counted and must not send the frame again at once.
        if (sent > 1)
            slot->events.rxAckNak.reset();
        const uint16_t naksBefore = l2.nakCount.load(std::memory_order_relaxed);
        sendBlock(handle, l2.txFrame.data(), wireLength);
        const uint8_t answer = awaitAnswer(*slot, handle, naksBefore);
        if (answer == EMMIERR_ACK) {
            *acknowledged = 1;
            return EMMIERR_OK;
        }
        if (answer == EMMIERR_TIMEOUT) {
            TraceLineF(handle, 8, "(GWC2) EmmiL2SendFrame: EmmiL2GetAck rets %d", answer);
            return EMMIERR_TIMEOUT;
        }
    }
    TraceLineF(handle, 8, "(GWC2) EmmiL2SendFrame: no ACK after %u transmissions, fails with error %d",
               kMaxFrameTransmissions, EMMIERR_NAK);
    return EMMIERR_NAK;
}

uint8_t EmmiL2GetAck(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return EMMIERR_TIMEOUT;
    return awaitAnswer(*slot, handle, 0);
}

ErrorCode EmmiL2ReceiveFrame(uint32_t handle, uint8_t* frameBuffer, int32_t* frameReceived,
                             int32_t firstFrame) {
    int32_t ignored = 0;
    if (frameReceived == nullptr)
        frameReceived = &ignored;
    *frameReceived = 0;
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || frameBuffer == nullptr)
        return EMMIERR_SYSTEM;
    EmmiL1SetReadTimeout(handle, firstFrame != 0 ? kTimeoutClassOneSecond : kTimeoutClassShort);

    uint8_t byte = 0;
    const ErrorCode firstRead = EmmiL1Read(handle, &byte, 1);
    slot->l2.readRefused = firstRead == EMMIERR_SYSTEM;
    if (firstRead != EMMIERR_OK)
        return EMMIERR_OK; // nothing arrived

    const bool rawByteMode = slot->rawByteMode.load(std::memory_order_relaxed) != 0;
    if (byte != kStx || rawByteMode)
        return takeOutsideByte(handle, *slot, byte, rawByteMode);

    GoodData(handle);
    // The caller's thread may send meanwhile; it waits for the frame's reads
    // rather than cancel them, so a frame on its way is not broken off.
    slot->l1.readInFrame.store(true);
    const ErrorCode code = readFrameBody(handle, frameBuffer);
    slot->l1.readInFrame.store(false);
    if (code != EMMIERR_OK) {
        answerFrame(handle, kNak);
        return code;
    }
    slot->l2.syncLost = 0;
    answerFrame(handle, kAck);
    *frameReceived = 1;
    return EMMIERR_OK;
}

} // namespace cfc
