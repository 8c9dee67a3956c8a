// AT command lines through the firmware's remote procedure calls.
#include "cfc_atcommand.h"

#include "cfc.h"
#include "cfc_connection.h"
#include "cfcrpc.h"

#include <cstring>

static_assert(CFC_AT_RESPONSE_SIZE == cfc::kAtResponseSize);

namespace cfc {

int32_t SendAtCommand(Connection& connection, const char* text, char* response)
{
    if (text == nullptr)
        return 0;
    const OpTrace trace(connection.trace, "(CFC )", "WSendAtCommand");
    // The request's text area holds the line, its carriage return and a zero.
    const size_t length = std::strlen(text);
    if (length > kMaxAtCommandLength) {
        trace.step(4, "Error, string too long");
        return 0;
    }
    trace.call(4, " [%s] (length=%d)", text, static_cast<int>(length));
    // A failed call is reported as such, so a caller that looks at the result
    // can tell a command the module never took from one it answered.
    if (const uint16_t error = CFCRPCSendAtCommand(connection, text, response)) {
        connection.storeError(error);
        trace.fails(4, "CFCRPCSendAtCommand", error);
        return 0;
    }
    if (response != nullptr)
        trace.call(7, " received: [%s]", response);
    return 1;
}

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WSendAtCommand(uint32_t handle, const char* text, char* response)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        return SendAtCommand(connection, text, response);
    });
}

int32_t WReceiveAtCommand(uint32_t handle, char* response)
{
    if (response == nullptr)
        return 0;
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WReceiveAtCommand");
        trace.call(4, "()");
        trace.step(6, "call CFCRPCReceiveAtCommand()...");
        if (const uint16_t error = CFCRPCReceiveAtCommand(connection, response)) {
            connection.storeError(error);
            trace.fails(4, "CFCRPCReceiveAtCommand", error);
            return 0;
        }
        trace.call(7, " received: [%s]", response);
        trace.ok(6);
        return 1;
    });
}

} // extern "C"
