#include "cfc_rawexchange.h"

#include "cfc_connection.h"
#include "emmierr.h"

#include "plat/clock.h"

#include <algorithm>
#include <cstring>

namespace cfc {

namespace {

constexpr uint32_t kSettleMs = 50;
constexpr uint16_t kResponseLevel = 5;

} // namespace

void FlushTargetInput(Connection& connection)
{
    // Ends the receive thread's pending read so that what it has read is
    // handed on; the reader resets the event, so a set cannot be missed the
    // way a short set-and-reset could be.
    EmmiL1CancelRead(connection.serial);
    plat::sleepMs(kSettleMs);
    FlushRawRxBuffer(connection.raw);
    EmmiL3DrainRxQueue(connection.messages);
}

bool GetResponse(Connection& connection, uint8_t* buffer, uint8_t length)
{
    if (buffer == nullptr || length == 0)
        return false;
    std::fill_n(buffer, length, kResponseFill);
    // 50 ms for the first byte of an answer, the inter-character time for
    // the rest.
    EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassShort);
    if (ReadRawRxBuffer(connection.raw, buffer, 1) != EMMIERR_OK)
        return false;
    EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassInterCharacter);
    ReadRawRxBuffer(connection.raw, buffer + 1, static_cast<uint16_t>(length - 1));
    // The inter-character time is short: an answer that paused gets one more
    // chance from its first missing byte on.
    const uint8_t* missing = std::find(buffer, buffer + length, kResponseFill);
    if (missing != buffer + length)
        ReadRawRxBuffer(connection.raw, buffer + (missing - buffer),
                        static_cast<uint16_t>(buffer + length - missing));
    return true;
}

void ReturnResponseRest(Connection& connection, const uint8_t* data, uint8_t length)
{
    if (data == nullptr)
        return;
    const uint8_t* missing = std::find(data, data + length, kResponseFill);
    AddToSkipBuffer(connection.raw, data, static_cast<uint8_t>(missing - data));
}

bool CheckResponse(Connection& connection, uint8_t* buffer, const uint8_t* expected, uint8_t count)
{
    const OpTrace trace(connection.trace, "(CFC )", "CheckResponse");
    if (!GetResponse(connection, buffer, count)) {
        trace.step(kResponseLevel, "GetResponse failed");
        return false;
    }
    if (expected != nullptr && std::memcmp(buffer, expected, count) == 0)
        return true;
    TraceBytes(connection.trace, kResponseLevel, "(CFC ) CheckResponse: expected response ->",
               expected, expected != nullptr ? count : 0);
    TraceBytes(connection.trace, kResponseLevel, "(CFC ) CheckResponse: got response ->", buffer,
               count);
    ReturnResponseRest(connection, buffer, count);
    return false;
}

} // namespace cfc
