// The remote procedure calls' view of the message layer: a request goes out as
// one message, a confirm is the next queued message with the expected id.
#pragma once

#include "cfc_types.h"

#include <cstdint>

namespace cfc {
class MessageLink;
class TraceChannel;
} // namespace cfc

namespace cfc {

// Sends `length` bytes as a command message (type 0xD6) with id `id`: the
// message layer's code, 0 when every frame was acknowledged, 9 at once when
// the port refused a write.
ErrorCode CFCSendMessageToTarget(MessageLink& messages, uint16_t id, const uint8_t* data,
                                 uint16_t length);
// The same as true when every frame was acknowledged.
bool CFCSendToTarget(MessageLink& messages, uint16_t id, const uint8_t* data, uint16_t length);
// The same for a message with parameters (type 0xD3).
bool CFCSendParamsToTarget(MessageLink& messages, int32_t parameter32, uint16_t parameterA,
                           uint16_t parameterB, const uint8_t* data, uint16_t length);
// The same for a message with a one-byte parameter (type 0xD5).
bool CFCSendByteParamToTarget(MessageLink& messages, uint8_t parameter, const uint8_t* data,
                              uint16_t length);

// Takes queued messages until one has id `id` and copies at most
// `expectedLength` bytes of it (never more than a message holds) to `data`;
// messages with other ids are dropped on the way. False when the queue stayed
// empty for one message-wait time. Bytes of `data` beyond a shorter message
// are left as they were; `received` (when given) takes the number copied.
bool CFCReceiveFromTarget(MessageLink& messages, const TraceChannel& trace, uint16_t id,
                          uint8_t* data, uint16_t expectedLength, uint16_t* received = nullptr);

} // namespace cfc
