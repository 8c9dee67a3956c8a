// Operation modes of the module's firmware.
#include "cfc.h"

#include "cfc_intern.h"
#include "cfc_trace.h"

extern "C" int32_t WInitServiceMode(uint32_t handle) {
    if (cfc::SlotOf(handle) == nullptr)
        return 0;
    cfc::TraceLine(handle, 4, "(CFC ) WInitServiceMode()");
    // The serial switch and the firmware mode change are not built yet; the
    // module is not in service mode, so this must not report success.
    return 0;
}
