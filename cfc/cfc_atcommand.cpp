// AT command lines through the firmware's remote procedure calls.
#include "cfc.h"

#include "cfc_intern.h"
#include "cfc_trace.h"
#include "cfcrpc.h"

#include <cstring>

static_assert(CFC_AT_RESPONSE_SIZE == cfc::kAtResponseSize);

using namespace cfc;

extern "C" {

int32_t WSendAtCommand(uint32_t handle, const char* text, char* response) {
    if (SlotOf(handle) == nullptr || text == nullptr)
        return 0;
    // The request's text area holds the line, its carriage return and a zero.
    const size_t length = std::strlen(text);
    if (length > kMaxAtCommandLength) {
        TraceLine(handle, 4, "(CFC ) WSendAtCommand: Error, string too long");
        return 0;
    }
    TraceLineF(handle, 4, "(CFC ) WSendAtCommand [%s] (length=%d)", text, static_cast<int>(length));
    // A failed call is reported as such, so a caller that looks at the result
    // can tell a command the module never took from one it answered.
    if (const uint16_t error = CFCRPCSendAtCommand(handle, text, response)) {
        StoreLastError(handle, error);
        TraceLineF(handle, 4, "(CFC ) WSendAtCommand: CFCRPCSendAtCommand fails with error %d", error);
        return 0;
    }
    if (response != nullptr)
        TraceLineF(handle, 7, "(CFC ) WSendAtCommand received: [%s]", response);
    return 1;
}

int32_t WReceiveAtCommand(uint32_t handle, char* response) {
    if (SlotOf(handle) == nullptr || response == nullptr)
        return 0;
    TraceLine(handle, 4, "(CFC ) WReceiveAtCommand()");
    TraceLine(handle, 6, "(CFC ) WReceiveAtCommand: call CFCRPCReceiveAtCommand()...");
    if (const uint16_t error = CFCRPCReceiveAtCommand(handle, response)) {
        StoreLastError(handle, error);
        TraceLineF(handle, 4, "(CFC ) WReceiveAtCommand: CFCRPCReceiveAtCommand fails with error %d", error);
        return 0;
    }
    TraceLineF(handle, 7, "(CFC ) WReceiveAtCommand received: [%s]", response);
    TraceLine(handle, 6, "(CFC ) WReceiveAtCommand: O.K.");
    return 1;
}

} // extern "C"
