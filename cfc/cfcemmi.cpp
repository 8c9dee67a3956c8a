#include "cfcemmi.h"

#include "cfc_trace.h"
#include "emmierr.h"
#include "gwcoml3.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace cfc {

namespace {

constexpr int32_t kDumpedBytes = 16;

int32_t dumpCount(uint16_t length)
{
    return std::min<int32_t>(length, kDumpedBytes);
}

using Deadline = std::chrono::steady_clock::time_point;

bool passed(Deadline deadline)
{
    return std::chrono::steady_clock::now() >= deadline;
}

// The next message of the queue. A message that repeats the one delivered
// before is dropped on the way, and behind it the wait goes on; false when
// the queue stayed empty until the reception's deadline.
bool takeMessage(MessageLink& messages, Deadline deadline, uint16_t* id, uint8_t* buffer,
                 uint16_t* length)
{
    uint8_t outcome = EmmiL3RemoveFromRxQueue(messages, id, buffer, length);
    while (outcome == kRxQueueDroppedRepeat || outcome == kRxQueueEmpty) {
        if (!EmmiL3WaitForRxMessageUntil(messages, deadline))
            return false;
        outcome = EmmiL3RemoveFromRxQueue(messages, id, buffer, length);
        if (outcome != kRxQueueDelivered && passed(deadline))
            return false;
    }
    return true;
}

// Names the awaited id to the receive queue for one reception.
class Awaiting {
public:
    Awaiting(MessageLink& messages, uint16_t id) : messages_(messages)
    {
        EmmiL3AwaitCommand(messages_, id);
    }
    ~Awaiting() { EmmiL3AwaitCommand(messages_, kNoAwaitedCommand); }
    Awaiting(const Awaiting&) = delete;
    Awaiting& operator=(const Awaiting&) = delete;

private:
    MessageLink& messages_;
};

} // namespace

ErrorCode CFCSendMessageToTarget(MessageLink& messages, uint16_t id, const uint8_t* data,
                                 uint16_t length)
{
    return EmmiL3SendMessage(messages, id, 0, 0, 0, data, length, 0);
}

bool CFCSendToTarget(MessageLink& messages, uint16_t id, const uint8_t* data, uint16_t length)
{
    return CFCSendMessageToTarget(messages, id, data, length) == EMMIERR_OK;
}

bool CFCSendParamsToTarget(MessageLink& messages, int32_t parameter32, uint16_t parameterA,
                           uint16_t parameterB, const uint8_t* data, uint16_t length)
{
    return EmmiL3SendMessage(messages, 0, parameter32, parameterA, parameterB, data, length,
                             kSendKindParameters) == EMMIERR_OK;
}

bool CFCSendByteParamToTarget(MessageLink& messages, uint8_t parameter, const uint8_t* data,
                              uint16_t length)
{
    return EmmiL3SendMessage(messages, parameter, 0, 0, 0, data, length, kSendKindByteParameter) ==
           EMMIERR_OK;
}

bool CFCReceiveFromTarget(MessageLink& messages, const TraceChannel& trace, uint16_t id,
                          uint8_t* data, uint16_t expectedLength, uint16_t* received)
{
    OpTrace(trace, "(EMMI)", "CFCReceiveFromTarget")
        .step(8, "expected cmd 0x%x, dataLength %d", id, expectedLength);
    if (expectedLength > kMessageSize) {
        OpTrace(trace, "(EMMI)", "CFCReceiveFromTarget")
            .step(8, "reduce expected dataLength %d to max length %d", expectedLength,
                  kMessageSize);
        expectedLength = kMessageSize;
    }
    std::array<uint8_t, kMessageSize> message;
    // One deadline for the whole reception: messages for nobody, however
    // many, do not give the confirm more time.
    const Deadline deadline = EmmiL3ReceptionDeadline(messages);
    const Awaiting awaiting(messages, id);
    for (;;) {
        uint16_t receivedId = 0;
        uint16_t length = 0;
        if (!takeMessage(messages, deadline, &receivedId, message.data(), &length))
            return false;
        OpTrace(trace, "(EMMI)", "ReceiveFromTarget")
            .step(8, "cmd 0x%x, len %d", receivedId, length);
        TraceBytes(trace, 8, "(EMMI) ReceiveFromTarget: recBuf ->", message.data(),
                   dumpCount(length));
        if (receivedId != id) {
            OpTrace(trace, "(EMMI)", "ReceiveFromTarget")
                .step(8, "expected cmd 0x%x - No match!", id);
            if (passed(deadline))
                return false;
            continue;
        }
        OpTrace(trace, "(EMMI)", "ReceiveFromTarget").step(8, "expected cmd 0x%x - Match!", id);
        length = std::min(length, expectedLength);
        if (data != nullptr)
            std::memcpy(data, message.data(), length);
        if (received != nullptr)
            *received = length;
        TraceBytes(trace, 8, "(EMMI) ReceiveFromTarget: data ->", data, dumpCount(length));
        return true;
    }
}

} // namespace cfc
