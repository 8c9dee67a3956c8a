// Serial mode of the module: detection and the switch to EMMI, and the
// handling of raw input that goes with it.
#pragma once

#include <cstdint>

namespace cfc {

// Discards everything received and not yet consumed: ends a pending read,
// lets the line settle, then empties the raw buffer and the receive queue.
void FlushTargetInput(uint32_t handle);
// Reads a response of `length` bytes from the raw buffer into `buffer`, which
// is first filled with kResponseFill so that missing bytes stay marked. True
// when at least the first byte came within 50 ms.
bool GetResponse(uint32_t handle, uint8_t* buffer, uint8_t length);
// Keeps the bytes of a response the caller did not use, up to the first
// missing one, in the skip buffer.
void ReturnResponseRest(uint32_t handle, const uint8_t* data, uint8_t length);

} // namespace cfc
