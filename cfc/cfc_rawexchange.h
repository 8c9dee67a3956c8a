// Raw byte exchange with a module that is not (yet) speaking EMMI: answers
// read from the raw receive buffer, the unused rest kept for the trace, and
// everything stale discarded before a new exchange.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// Discards everything received and not yet consumed: ends a pending read,
// lets the line settle, then empties the raw buffer and the receive queue.
void FlushTargetInput(Connection& connection);
// Reads a response of `length` bytes from the raw buffer into `buffer`, which
// is first filled with kResponseFill so that missing bytes stay marked. True
// when at least the first byte came within 50 ms.
bool GetResponse(Connection& connection, uint8_t* buffer, uint8_t length);
// Keeps the bytes of a response the caller did not use, up to the first
// missing one, in the skip buffer.
void ReturnResponseRest(Connection& connection, const uint8_t* data, uint8_t length);
// Reads a response of `count` bytes into `buffer` and compares it with
// `expected`; a mismatch is dumped and its bytes kept in the skip buffer.
bool CheckResponse(Connection& connection, uint8_t* buffer, const uint8_t* expected, uint8_t count);

} // namespace cfc
