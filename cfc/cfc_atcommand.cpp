// AT command lines through the firmware's remote procedure calls.
#include "cfc_atcommand.h"

#include "cfc.h"
#include "cfc_arguments.h"
#include "cfc_connection.h"
#include "cfcrpc.h"

#include "plat/clock.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

static_assert(CFC_AT_RESPONSE_SIZE == cfc::kAtResponseSize);

namespace cfc {

namespace {
// A dial command must fit the firmware's command area with "ATD" and ";".
constexpr size_t kMaxDialLength = 252;
constexpr uint32_t kSettleMs = 2000;
constexpr int32_t kCallWaitSeconds = 5;
constexpr int32_t kAttachWaitSeconds = 8;
constexpr const char* kAttachCommand = "AT+CGATT=1";
} // namespace

int32_t SendAtCommand(Connection& connection, const char* text, char* response)
{
    if (RefuseBadArgument(connection, "WSendAtCommand", {Argument::needed(text, "text")}))
        return 0;
    const OpTrace trace(connection.trace, "(CFC )", "WSendAtCommand");
    // The request's text area holds the line, its carriage return and a zero.
    const size_t length = std::strlen(text);
    if (length > kMaxAtCommandLength) {
        connection.storeError(EMMIERR_BAD_ARGUMENT);
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

int32_t ReceiveAtCommand(Connection& connection, char* response)
{
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
}

int32_t SendAtCommandAndWait(Connection& connection, const char* command, const char* expected,
                             int32_t seconds)
{
    const OpTrace trace(connection.trace, "(CFC )", "WSendAtCommandAndWait");
    trace.call(4, " (command to send is %s, wait for %s, wait %d secs)", command, expected,
               seconds);
    std::array<char, kAtResponseSize> response{};
    // A first send that failed still leaves the module's later texts to
    // come: a command it took whose echo went missing is answered all the
    // same.
    int32_t received = SendAtCommand(connection, command, response.data());
    // One further reception a second: the firmware sends what the module
    // answers later (a call set up, an attach done) as texts of their own.
    for (int32_t attempt = 1; !std::strstr(response.data(), expected) &&
                              !std::strstr(response.data(), "ERROR") && attempt <= seconds;
         ++attempt) {
        TraceLineF(connection.trace, 5, "(CFC ) Attempting receive (#%d)", attempt);
        received = ReceiveAtCommand(connection, response.data());
    }
    if (received == 0)
        return 0;
    // The module answered, but not with the awaited text ("ERROR", or
    // nothing that holds it within the receptions).
    if (std::strstr(response.data(), expected) == nullptr) {
        connection.storeError(CFCRPC_BAD_CONFIRM);
        trace.fails(4, "awaited text", CFCRPC_BAD_CONFIRM);
        return 0;
    }
    trace.ok(6);
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
    return CheckedCall(
        handle, "WReceiveAtCommand", {Argument::needed(response, "response")},
        [&](Connection& connection) { return ReceiveAtCommand(connection, response); });
}

int32_t WSendAtCommandAndWait(uint32_t handle, const char* command, const char* expected,
                              int32_t seconds)
{
    return CheckedCall(
        handle, "WSendAtCommandAndWait",
        {Argument::needed(command, "command"), Argument::needed(expected, "expected")},
        [&](Connection& connection) {
            return SendAtCommandAndWait(connection, command, expected, seconds);
        });
}

int32_t WStartCircuitSwitchedCall(uint32_t handle, const char* number)
{
    return CheckedCall(
        handle, "WStartCircuitSwitchedCall", {Argument::needed(number, "number")},
        [&](Connection& connection) -> int32_t {
            const OpTrace trace(connection.trace, "(CFC )", "WStartCircuitSwitchedCall");
            const size_t length = std::strlen(number);
            if (length >= kMaxDialLength) {
                // A bad argument like any other; the trace keeps the length.
                connection.storeError(EMMIERR_BAD_ARGUMENT);
                trace.step(4, "number string too long: %d characters", static_cast<int>(length));
                return 0;
            }
            trace.call(4, "(number=%s)", number);
            trace.step(5, "sleep 2 seconds after location update before start call");
            plat::sleepMs(kSettleMs);
            const std::string command = "ATD" + std::string(number) + ";";
            trace.call(5, " (command to send is %s)", command.c_str());
            return SendAtCommandAndWait(connection, command.c_str(), "OK", kCallWaitSeconds);
        });
}

int32_t WStartGPRSAttach(uint32_t handle)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        const OpTrace trace(connection.trace, "(CFC )", "WStartGPRSAttach");
        trace.call(4, " (command to send is %s)", kAttachCommand);
        trace.step(5, "sleep 2 seconds before attach");
        plat::sleepMs(kSettleMs);
        return SendAtCommandAndWait(connection, kAttachCommand, "OK", kAttachWaitSeconds);
    });
}

int32_t WPrepareNetworkRegistration(uint32_t handle, uint32_t timeout1, uint32_t timeout2)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        const OpTrace trace(connection.trace, "(CFC )", "WPrepareNetworkRegistration");
        trace.call(4, "(timeout1=%u, timeout2=%u)", timeout1, timeout2);
        trace.ok(6);
        return int32_t{1};
    });
}

} // extern "C"
