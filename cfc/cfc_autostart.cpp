// The Java autostart switch, the end of an active call and the switch-off of
// the module, with the firmware-specific steps its version asks for.
#include "cfc.h"

#include "cfc_intern.h"
#include "cfc_serialmode.h"
#include "cfc_sigtrace.h"
#include "cfc_trace.h"
#include "cfc_version.h"
#include "cfcrpc.h"

#include "plat/clock.h"

namespace cfc {

namespace {

// Rounds of switch-off request and wait for silence before giving up.
constexpr int kSwitchOffRounds = 5;

#ifdef CFC_GUI_SWITCHOFF_WAIT
// Signal frames the module still holds when it is told to switch off are
// lost; the GUI gives them time to reach the signal-trace files.
constexpr uint32_t kSignalTraceDrainMs = 10000;
#endif

// How WSwitchOff and WTerminateCall differ in ending a call.
struct CallEnding {
    const char* name;
    uint16_t level;
    // WTerminateCall also waits for the detach's response.
    bool detachResponse;
    const char* finished;
};

// Hangs up a voice call that may be active in normal mode and, where the
// firmware needs it, detaches from GPRS. The AT results are not examined:
// the switch-off goes on whether or not there was anything to end.
void endActiveCall(uint32_t handle, const CallEnding& ending) {
    char response[kAtResponseSize];
    TraceLineF(handle, ending.level, "(CFC ) %s: target in normal mode, try to end active voice call...",
               ending.name);
    WSendAtCommand(handle, "ATH", response);
    if (NeedsGprsDetach(TargetVersion(handle))) {
        TraceLineF(handle, ending.level, "(CFC ) %s: send extra detach...", ending.name);
        WSendAtCommand(handle, "AT+CGATT=0", ending.detachResponse ? response : nullptr);
    }
    TraceLineF(handle, ending.level, "(CFC ) %s: %s", ending.name, ending.finished);
}

// The start of a switch-off or hang-up: its call line, the line of the mode
// check at `level`, and the operation mode read; false (last error stored,
// failure traced) when it cannot be read.
bool enterWithOperationMode(uint32_t handle, const char* name, uint16_t level, const char* check,
                            uint8_t* mode) {
    TraceLineF(handle, 4, "(CFC ) %s", name);
    TraceLineF(handle, level, "(CFC ) %s: %s", name, check);
    const uint16_t error = CFCRPCGetCurrentOperationMode(handle, mode);
    if (error == kRpcOk)
        return true;
    StoreLastError(handle, error);
    TraceLineF(handle, 4, "(CFC ) %s: CFCRPCGetCurrentOperationMode fails with error %d", name, error);
    return false;
}

#ifdef CFC_GUI_SWITCHOFF_WAIT
void letSignalTraceComeOut(uint32_t handle) {
    if (!SignalTraceEnabled(handle) || SignalTraceRequestCount(handle) == 0)
        return;
    TraceLine(handle, 5, "(CFC ) WSwitchOff: let nimbo trace come out... (10 secs)");
    plat::sleepMs(kSignalTraceDrainMs);
}
#endif

// A running test mode holds the radio; newer firmware must leave it before
// it takes the switch-off. False when finishing failed.
bool finishTestModeIfNeeded(uint32_t handle) {
    if (!NeedsTestModeFinish(TargetVersion(handle))) {
        TraceLine(handle, 5, "(CFC ) WSwitchOff: *not necessary* to finish test mode first!");
        return true;
    }
    TraceLine(handle, 5, "(CFC ) WSwitchOff: target in test mode, try to finish test mode...");
    if (const uint16_t error = CFCRPCCalDevGsmFinish(handle)) {
        StoreLastError(handle, error);
        TraceLineF(handle, 4, "(CFC ) WSwitchOff: CFCRPCCalDevGsmFinish fails with error %d", error);
        return false;
    }
    TraceLine(handle, 5, "(CFC ) WSwitchOff: special test mode action finished");
    return true;
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on) {
    if (SlotOf(handle) == nullptr)
        return 0;
    TraceLineF(handle, 4, "(CFC ) WSwitchJavaAutoStart(onOff=%d", on);
    TraceLine(handle, 6, "(CFC ) WSwitchJavaAutoStart: call CFCRPCSwitchJavaAutoStart()...");
    if (const uint16_t error = CFCRPCSwitchJavaAutoStart(handle, on)) {
        StoreLastError(handle, error);
        TraceLineF(handle, 4, "(CFC ) WSwitchJavaAutoStart: CFCRPCSwitchJavaAutoStartfails with error %d",
                   error);
        return 0;
    }
    TraceLine(handle, 6, "(CFC ) WSwitchJavaAutoStart: O.K.");
    return 1;
}

int32_t WSwitchOff(uint32_t handle) {
    if (SlotOf(handle) == nullptr)
        return 0;
    uint8_t mode = 0;
    if (!enterWithOperationMode(handle, "WSwitchOff", 5, "check for normal mode (call may be active!)", &mode))
        return 0;
#ifdef CFC_GUI_SWITCHOFF_WAIT
    letSignalTraceComeOut(handle);
#endif
    if (mode == kOperationModeNormal) {
        endActiveCall(handle, {"WSwitchOff", 5, false, "special normal mode action finished"});
    } else if (mode == kOperationModeTest) {
        if (!finishTestModeIfNeeded(handle))
            return 0;
    }

    bool switchedOff = false;
    for (int round = 0; round < kSwitchOffRounds && !switchedOff; ++round) {
        TraceLine(handle, 5, "(CFC ) WSwitchOff: call CFCRPCSwitchOff...");
        if (const uint16_t error = CFCRPCSwitchOff(handle)) {
            StoreLastError(handle, error);
            TraceLineF(handle, 4, "(CFC ) WSwitchOff: CFCRPCSwitchOff fails with error %d", error);
            return 0;
        }
        // The request has no confirm: a module that is off stops answering
        // the serial probe.
        TraceLine(handle, 5, "(CFC ) WSwitchOff: wait until target is switched off...");
        switchedOff = WaitForTargetSerialMode(handle, kTargetSerialModeOff) != 0;
    }
    if (!switchedOff) {
        TraceLine(handle, 4, "(CFC ) WSwitchOff: target not switched off!?");
        return 0;
    }
    TraceLine(handle, 5, "(CFC ) WSwitchOff: FAST_DLL: skip 5 secs wait 'wait 5 secs, just to be sure...'");
    TraceLine(handle, 5, "(CFC ) WSwitchOff: O.K.");
    return 1;
}

int32_t WTerminateCall(uint32_t handle) {
    if (SlotOf(handle) == nullptr)
        return 0;
    uint8_t mode = 0;
    if (!enterWithOperationMode(handle, "WTerminateCall", 6, "check for normal mode", &mode))
        return 0;
    if (mode == kOperationModeNormal)
        endActiveCall(handle, {"WTerminateCall", 6, true, "normal mode action finished"});
    TraceLine(handle, 6, "(CFC ) WTerminateCall: O.K.");
    return 1;
}

} // extern "C"
