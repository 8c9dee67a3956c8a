#include "cfcemmi.h"

#include "cfc_trace.h"
#include "emmierr.h"
#include "gwcoml3.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cfc {

namespace {

constexpr int32_t kDumpedBytes = 16;

int32_t dumpCount(uint16_t length) { return std::min<int32_t>(length, kDumpedBytes); }

// The next message of the queue. A message that repeats the one delivered
// before is dropped on the way, and behind it the wait goes on; false when
// the queue stayed empty.
bool takeMessage(uint32_t handle, uint16_t* id, uint8_t* buffer, uint16_t* length) {
    uint8_t outcome = EmmiL3RemoveFromRxQueue(handle, id, buffer, length);
    if (outcome == kRxQueueDelivered)
        return true;
    do {
        EmmiL3WaitForRxMessage(handle);
        outcome = EmmiL3RemoveFromRxQueue(handle, id, buffer, length);
    } while (outcome == kRxQueueDroppedRepeat);
    return outcome == kRxQueueDelivered;
}

} // namespace

bool CFCSendToTarget(uint32_t handle, uint16_t id, const uint8_t* data, uint16_t length) {
    return EmmiL3SendMessage(handle, id, 0, 0, 0, data, length, 0) == EMMIERR_OK;
}

bool CFCSendParamsToTarget(uint32_t handle, int32_t parameter32, uint16_t parameterA,
                           uint16_t parameterB, const uint8_t* data, uint16_t length) {
    return EmmiL3SendMessage(handle, 0, parameter32, parameterA, parameterB, data, length,
                             kSendKindParameters) == EMMIERR_OK;
}

bool CFCSendByteParamToTarget(uint32_t handle, uint8_t parameter, const uint8_t* data,
                              uint16_t length) {
    return EmmiL3SendMessage(handle, parameter, 0, 0, 0, data, length, kSendKindByteParameter) ==
           EMMIERR_OK;
}

bool CFCReceiveFromTarget(uint32_t handle, uint16_t id, uint8_t* data, uint16_t expectedLength) {
    TraceLineF(handle, 8, "(EMMI) CFCReceiveFromTarget: expected cmd 0x%x, dataLength %d", id,
               expectedLength);
    if (expectedLength > kMessageSize) {
        TraceLineF(handle, 8,
                   "(EMMI) CFCReceiveFromTarget: reduce expected dataLength %d to max length %d",
                   expectedLength, kMessageSize);
        expectedLength = kMessageSize;
    }
    std::array<uint8_t, kMessageSize> received;
    for (;;) {
        uint16_t receivedId = 0;
        uint16_t length = 0;
        if (!takeMessage(handle, &receivedId, received.data(), &length))
            return false;
        TraceLineF(handle, 8, "(EMMI) ReceiveFromTarget: cmd 0x%x, len %d", receivedId, length);
        TraceBytes(handle, 8, "(EMMI) ReceiveFromTarget: recBuf ->", received.data(),
                   dumpCount(length));
        if (receivedId != id) {
            TraceLineF(handle, 8, "(EMMI) ReceiveFromTarget: expected cmd 0x%x - No match!", id);
            continue;
        }
        TraceLineF(handle, 8, "(EMMI) ReceiveFromTarget: expected cmd 0x%x - Match!", id);
        length = std::min(length, expectedLength);
        if (data != nullptr)
            std::memcpy(data, received.data(), length);
        TraceBytes(handle, 8, "(EMMI) ReceiveFromTarget: data ->", data, dumpCount(length));
        return true;
    }
}

} // namespace cfc
