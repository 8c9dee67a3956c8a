// The Java autostart switch, the end of an active call and the switch-off of
// the module, with the firmware-specific steps its version asks for.
#include "cfc.h"

#include "cfc_atcommand.h"
#include "cfc_connection.h"
#include "cfc_progress.h"
#include "cfc_serialmode.h"
#include "cfc_sigtrace.h"
#include "cfc_version.h"
#include "cfcrpc.h"

#include "plat/clock.h"

#include <atomic>

namespace cfc {

namespace {

// Rounds of switch-off request and wait for silence before giving up.
constexpr int kSwitchOffRounds = 5;

// Signal frames the module still holds when it is told to switch off are
// lost; the GUI gives them time to reach the signal-trace files.
constexpr uint32_t kSignalTraceDrainMs = 10000;
std::atomic<bool> g_drainSignalTrace{false};

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
void endActiveCall(Connection& connection, const CallEnding& ending)
{
    // Nothing to hang up is the common case; its failure is not the
    // operation's.
    const KeptLastError kept(connection);
    const OpTrace trace(connection.trace, "(CFC )", ending.name);
    char response[kAtResponseSize];
    trace.step(ending.level, "target in normal mode, try to end active voice call...");
    SendAtCommand(connection, "ATH", response);
    if (NeedsGprsDetach(connection.target.version)) {
        trace.step(ending.level, "send extra detach...");
        SendAtCommand(connection, "AT+CGATT=0", ending.detachResponse ? response : nullptr);
    }
    trace.step(ending.level, "%s", ending.finished);
}

// The start of a switch-off or hang-up: its call line, the line of the mode
// check at `level`, and the operation mode read; false (last error stored,
// failure traced) when it cannot be read.
bool enterWithOperationMode(Connection& connection, const OpTrace& trace, uint16_t level,
                            const char* check, uint8_t* mode)
{
    trace.call(4, "%s", "");
    trace.step(level, "%s", check);
    const uint16_t error = CFCRPCGetCurrentOperationMode(connection, mode);
    if (error == kRpcOk)
        return true;
    connection.storeError(error);
    trace.fails(4, "CFCRPCGetCurrentOperationMode", error);
    return false;
}

void letSignalTraceComeOut(Connection& connection, const OpTrace& trace)
{
    if (!g_drainSignalTrace.load(std::memory_order_relaxed) ||
        !connection.signals.signalTraceEnabled() ||
        SignalTraceRequestCount(connection.signals) == 0)
        return;
    trace.step(5, "let nimbo trace come out... (10 secs)");
    SleepWithProgress(CFC_WAIT_SIGNAL_TRACE, kSignalTraceDrainMs);
}

// A running test mode holds the radio; newer firmware must leave it before
// it takes the switch-off. False when finishing failed.
bool finishTestModeIfNeeded(Connection& connection, const OpTrace& trace)
{
    if (!NeedsTestModeFinish(connection.target.version)) {
        trace.step(5, "*not necessary* to finish test mode first!");
        return true;
    }
    trace.step(5, "target in test mode, try to finish test mode...");
    if (const uint16_t error = CFCRPCCalDevGsmFinish(connection)) {
        connection.storeError(error);
        trace.fails(4, "CFCRPCCalDevGsmFinish", error);
        return false;
    }
    trace.step(5, "special test mode action finished");
    return true;
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

void WSetSwitchOffDrainWait(int32_t on)
{
    g_drainSignalTrace.store(on != 0, std::memory_order_relaxed);
}

int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WSwitchJavaAutoStart");
        trace.call(4, "(onOff=%d", on);
        trace.step(6, "call CFCRPCSwitchJavaAutoStart()...");
        if (const uint16_t error = CFCRPCSwitchJavaAutoStart(connection, on)) {
            connection.storeError(error);
            // The missing blank is the system's own text.
            trace.step(4, "CFCRPCSwitchJavaAutoStartfails with error %d", error);
            return 0;
        }
        trace.ok(6);
        return 1;
    });
}

int32_t WSwitchOff(uint32_t handle)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WSwitchOff");
        uint8_t mode = 0;
        if (!enterWithOperationMode(connection, trace, 5,
                                    "check for normal mode (call may be active!)", &mode))
            return 0;
        letSignalTraceComeOut(connection, trace);
        if (mode == kOperationModeNormal) {
            endActiveCall(connection,
                          {"WSwitchOff", 5, false, "special normal mode action finished"});
        } else if (mode == kOperationModeTest) {
            if (!finishTestModeIfNeeded(connection, trace))
                return 0;
        }

        bool switchedOff = false;
        const WaitProgress progress(CFC_WAIT_SWITCH_OFF, kSwitchOffRounds);
        for (int round = 0; round < kSwitchOffRounds && !switchedOff; ++round) {
            progress.step(round + 1);
            trace.step(5, "call CFCRPCSwitchOff...");
            if (const uint16_t error = CFCRPCSwitchOff(connection)) {
                connection.storeError(error);
                trace.fails(4, "CFCRPCSwitchOff", error);
                return 0;
            }
            // The request has no confirm: a module that is off stops answering
            // the serial probe.
            trace.step(5, "wait until target is switched off...");
            const ErrorMark mark(connection);
            switchedOff = WaitForTargetSerialMode(connection, kTargetSerialModeOff) != 0;
            // A port that refuses the probe will not tell either way.
            if (!switchedOff && mark.storedSince())
                return 0;
        }
        if (!switchedOff) {
            connection.storeError(EMMIERR_NOT_SWITCHED_OFF);
            trace.step(4, "target not switched off!?");
            return 0;
        }
        trace.step(5, "FAST_DLL: skip 5 secs wait 'wait 5 secs, just to be sure...'");
        trace.ok(5);
        return 1;
    });
}

int32_t WTerminateCall(uint32_t handle)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WTerminateCall");
        uint8_t mode = 0;
        if (!enterWithOperationMode(connection, trace, 6, "check for normal mode", &mode))
            return 0;
        if (mode == kOperationModeNormal)
            endActiveCall(connection, {"WTerminateCall", 6, true, "normal mode action finished"});
        trace.ok(6);
        return 1;
    });
}

} // extern "C"
