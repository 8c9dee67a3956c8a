// AT command lines through the firmware's remote procedure calls.
#include "cfc.h"

#include "cfc_intern.h"
#include "cfc_trace.h"

// Filled in once the remote procedure calls exist; until then nothing can be
// sent, so both fail.
extern "C" int32_t WSendAtCommand(uint32_t handle, const char* /*text*/, char* /*response*/) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    return 0;
}

extern "C" int32_t WReceiveAtCommand(uint32_t handle, char* /*response*/) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    return 0;
}
