// The Java autostart switch and the switch-off of the module.
#include "cfc.h"

#include "cfc_intern.h"
#include "cfc_trace.h"

// Neither request can be sent before the remote procedure calls exist, so both
// operations fail after their call line rather than pretend success.

extern "C" int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    cfc::TraceLineF(handle, 4, "(CFC ) WSwitchJavaAutoStart(onOff=%d", on);
    return 0;
}

extern "C" int32_t WSwitchOff(uint32_t handle) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    cfc::TraceLine(handle, 4, "(CFC ) WSwitchOff");
    return 0;
}

extern "C" int32_t WTerminateCall(uint32_t handle) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    return 0;
}
