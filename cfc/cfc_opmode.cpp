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

namespace cfc {
int32_t SwitchTargetToOperationMode(uint32_t /*handle*/, uint8_t /*mode*/) { return 0; }
} // namespace cfc

extern "C" int32_t WInitNormalMode(uint32_t /*handle*/) { return 0; }
extern "C" int32_t WInitTestMode(uint32_t /*handle*/) { return 0; }
extern "C" int32_t WInitAirplaneMode(uint32_t /*handle*/) { return 0; }
extern "C" int32_t WInitNormalModeFromTestMode(uint32_t /*handle*/) { return 0; }
extern "C" int32_t WSwitchTargetToOperationMode(uint32_t /*handle*/, uint8_t /*publicMode*/) { return 0; }
extern "C" int32_t WExitServiceMode(uint32_t /*handle*/) { return 0; }
