// Sending side of the message layer: a message is cut into frames, the first
// carrying the header of its type, and each frame is sent with
// acknowledgement before the next.
#include "gwcoml3.h"

#include "cfc_trace.h"
#include "emmierr.h"

#include "plat/byte_order.h"

#include <span>

namespace cfc {

namespace {

// Segment numbers run 0 to 254 before the last frame's 0xFF, so 256 frames
// are the most a message can take without a number coming round again.
constexpr size_t kMaxFramesPerMessage = 256;

// The not yet sent part of one message; lives for one EmmiL3SendMessage.
struct TxMessage {
    const uint8_t* next = nullptr;
    uint16_t remaining = 0;
    uint8_t segment = 0;
    uint8_t type = kMsgTypeCommand;
};

uint8_t typeOfKind(uint8_t kind)
{
    switch (kind) {
    case kSendKindParameters: return kMsgTypeParameters;
    case kSendKindByteParameter: return kMsgTypeByteParameter;
    default: return kMsgTypeCommand;
    }
}

size_t headerSize(uint8_t type)
{
    switch (type) {
    case kMsgTypeParameters: return 14;
    case kMsgTypeByteParameter: return 3;
    default: return 4;
    }
}

size_t framesNeeded(uint16_t length, size_t header)
{
    const size_t firstRoom = kMaxFrameData - kFrameHeaderOffset - header;
    const size_t nextRoom = kMaxFrameData - kFrameHeaderOffset;
    if (length <= firstRoom)
        return 1;
    return 1 + (length - firstRoom + nextRoom - 1) / nextRoom;
}

// Fills the next frame of the message: type, segment number, room for the
// header in the first frame, then as many message bytes as fit.
void EmmiL3NextSegment(TxMessage& tx, uint8_t* frame, size_t header)
{
    size_t length = kFrameHeaderOffset + header;
    while (length < kMaxFrameData && tx.remaining > 0) {
        frame[1 + length++] = *tx.next++;
        --tx.remaining;
    }
    frame[0] = static_cast<uint8_t>(length);
    frame[1 + kFrameTypeOffset] = tx.type;
    frame[1 + kFrameSegmentOffset] = tx.remaining == 0 ? kLastSegment : tx.segment++;
}

// The header goes into the frame data, which start after the length byte.
void writeHeader(std::span<uint8_t> data, uint8_t type, uint16_t command, int32_t parameter32,
                 uint16_t parameterA, uint16_t parameterB, uint16_t length)
{
    switch (type) {
    case kMsgTypeParameters:
        plat::putBe16(data, 2, static_cast<uint16_t>(length + 4));
        plat::putBe16(data, 4, parameterA);
        plat::putBe16(data, 6, parameterB);
        plat::putLe16(data, 8, length);
        // Reserved; sent as zeros so that no stale buffer content leaves.
        plat::putLe16(data, 10, 0);
        plat::putLe32(data, 12, static_cast<uint32_t>(parameter32));
        break;
    case kMsgTypeByteParameter:
        plat::putBe16(data, 2, length);
        // Only the command's low byte has a place in this header.
        data[4] = static_cast<uint8_t>(command);
        break;
    default:
        plat::putBe16(data, 2, static_cast<uint16_t>(length + 2));
        plat::putLe16(data, 4, command);
        break;
    }
}

} // namespace

ErrorCode EmmiL3SendMessage(MessageLink& link, uint16_t command, int32_t parameter32,
                            uint16_t parameterA, uint16_t parameterB, const uint8_t* data,
                            uint16_t length, uint8_t kind)
{
    if (data == nullptr)
        return EMMIERR_OK;
    TxMessage tx{data, length, 0, typeOfKind(kind)};
    const size_t header = headerSize(tx.type);
    // Beyond that a segment number would read as the last frame's and the
    // module would take the message as ended while its rest was still unsent.
    if (framesNeeded(length, header) > kMaxFramesPerMessage) {
        OpTrace(link.trace_, "(GWL3)", "EmmiL3SendMessage")
            .step(8, "%u bytes take more than %zu frames, fails with error %d",
                  static_cast<unsigned>(length), kMaxFramesPerMessage, EMMIERR_SYSTEM);
        return EMMIERR_SYSTEM;
    }

    FrameBuffer frame{};
    for (bool first = true;; first = false) {
        EmmiL3NextSegment(tx, frame.data(), first ? header : 0);
        if (first)
            writeHeader(std::span(frame).subspan(1), tx.type, command, parameter32, parameterA,
                        parameterB, length);
        int32_t acknowledged = 0;
        if (const ErrorCode code = EmmiL2SendFrame(link.frames_, frame.data(), &acknowledged);
            code != EMMIERR_OK)
            return code;
        if (frame[1 + kFrameSegmentOffset] == kLastSegment)
            return EMMIERR_OK;
    }
}

} // namespace cfc
