// Operation modes of the module's firmware: the switch itself, the mode
// initialisations that bring the line to EMMI first, and the public switch.
#include "cfc_opmode.h"

#include "cfc.h"
#include "cfc_arguments.h"
#include "cfc_connection.h"
#include "cfc_emmiswitch.h"
#include "cfc_sigtrace.h"
#include "cfcrpc.h"

#include <array>

namespace cfc {

namespace {

constexpr uint16_t kSwitchLevel = 5;

// A failed call's result is what a caller reads back with WGetLastError.
uint16_t storeFailure(Connection& connection, uint16_t result)
{
    if (result != kRpcOk)
        connection.storeError(result);
    return result;
}

// One step of a mode initialisation after the serial switch.
enum class Step : uint8_t {
    None,
    TraceConfig,  // load the mode's signal-trace configuration
    SwitchMode,   // "switch target to ... mode..." and the firmware switch
    SkippedPause, // the FAST_DLL line of a pause that is not made
};

struct ModeInit {
    const char* name;
    bool emmiFirst;
    uint8_t bootServiceMode;
    uint16_t level;
    const char* traceConfig;
    const char* modeWord;
    uint8_t mode;
    // The text after "FAST_DLL: skip " of the pause this mode leaves out.
    const char* skippedPause;
    std::array<Step, 3> steps;
};

// The FAST_DLL lines name pauses of an older build; the firmware takes the
// next request without them, so they are traced and not made.
constexpr ModeInit kServiceMode{"WInitServiceMode",
                                false,
                                1,
                                5,
                                "ServiceMode",
                                "service",
                                kOperationModeService,
                                nullptr,
                                {Step::TraceConfig, Step::SwitchMode, Step::None}};
constexpr ModeInit kNormalMode{"WInitNormalMode",
                               false,
                               0,
                               5,
                               "NormalMode",
                               "normal",
                               kOperationModeNormal,
                               "2 secs wait 'let the system come up...'",
                               {Step::SwitchMode, Step::SkippedPause, Step::TraceConfig}};
constexpr ModeInit kTestMode{"WInitTestMode",
                             false,
                             0,
                             5,
                             "TestMode",
                             "test",
                             kOperationModeTest,
                             "4 secs wait 'wait 4 secs before switching target to test mode...'",
                             {Step::SkippedPause, Step::TraceConfig, Step::SwitchMode}};
constexpr ModeInit kAirplaneMode{"WInitAirplaneMode",
                                 false,
                                 0,
                                 6,
                                 "AirplaneMode",
                                 "airplane",
                                 kOperationModeAirplane,
                                 nullptr,
                                 {Step::TraceConfig, Step::SwitchMode, Step::None}};
constexpr ModeInit kNormalModeFromTestMode{
    "WInitNormalModeFromTestMode",
    true,
    0,
    6,
    "NormalMode",
    "normal",
    kOperationModeNormal,
    "2 secs wait 'let the system come up...'",
    {Step::SwitchMode, Step::SkippedPause, Step::TraceConfig}};

int32_t initMode(Connection& connection, const ModeInit& init)
{
    const OpTrace trace(connection.trace, "(CFC )", init.name);
    trace.call(4, "()");
    trace.step(init.level, "switch serial to EMMI mode...");
    const ErrorMark mark(connection);
    const int32_t onEmmi = init.emmiFirst
                               ? SwitchSerialToEMMIModeEmmiFirst(connection, init.bootServiceMode)
                               : SwitchSerialToEMMIMode(connection, init.bootServiceMode);
    if (!onEmmi) {
        if (!mark.storedSince())
            connection.storeError(EMMIERR_NO_EMMI);
        trace.step(4, "SwitchSerialToEmmiMode fails");
        return 0;
    }
    for (const Step step : init.steps) {
        switch (step) {
        case Step::None: break;
        case Step::TraceConfig: LoadSignalTraceConfig(connection.signals, init.traceConfig); break;
        case Step::SkippedPause:
            trace.step(init.level, "FAST_DLL: skip %s", init.skippedPause);
            break;
        case Step::SwitchMode:
            trace.step(init.level, "switch target to %s mode...", init.modeWord);
            if (!SwitchTargetToOperationMode(connection, init.mode)) {
                trace.step(4, "SwitchTargetToOperationMode fails");
                return 0;
            }
            break;
        }
    }
    trace.ok(init.level);
    return 1;
}

// Operation mode and trace name of a public mode number.
struct PublicMode {
    uint8_t mode;
    const char* name;
};

constexpr std::array<PublicMode, 4> kPublicModes{{
    {kOperationModeNormal, "TargetOperationModeNormalMode"},
    {kOperationModeService, "TargetOperationModeServiceMode"},
    {kOperationModeAirplane, "TargetOperationModeAirplaneMode"},
    {kOperationModeTest, "TargetOperationModeTestMode"},
}};

int32_t initModeOf(uint32_t handle, const ModeInit& init)
{
    return OnConnection(handle, int32_t{0},
                        [&](Connection& connection) { return initMode(connection, init); });
}

// WSwitchTargetToOperationMode, also where the library itself asks for a
// public mode.
int32_t switchToPublicMode(Connection& connection, uint8_t publicMode)
{
    const OpTrace trace(connection.trace, "(CFC )", "WSwitchTargetToOperationMode");
    trace.call(4, "(operationMode %d)", publicMode);
    int32_t result = 0;
    if (publicMode < kPublicModes.size()) {
        const PublicMode& target = kPublicModes[publicMode];
        trace.step(6, "calling SwitchTargetToOperationMode(cfcHandle, %s)", target.name);
        result = SwitchTargetToOperationMode(connection, target.mode);
    } else {
        RefuseBadArgument(connection, "WSwitchTargetToOperationMode",
                          {Argument::atMost(publicMode, kPublicModes.size() - 1, "operationMode")});
    }
    trace.call(6, " rets %d", result);
    return result;
}

} // namespace

int32_t SwitchTargetToOperationMode(Connection& connection, uint8_t mode)
{
    const OpTrace trace(connection.trace, "(CFC )", "SwitchTargetToOperationMode");
    trace.call(kSwitchLevel, "(operationMode=%d)", mode);
    trace.step(kSwitchLevel, "call CFCRPCGetCurrentOperationMode()...");
    uint8_t current = 0;
    if (const uint16_t error =
            storeFailure(connection, CFCRPCGetCurrentOperationMode(connection, &current))) {
        trace.fails(kSwitchLevel, "CFCRPCGetCurrentOperationMode", error);
        return 0;
    }
    if (current == mode) {
        trace.step(kSwitchLevel, "target already in mode %d", mode);
        return 1;
    }
    trace.step(kSwitchLevel, "current mode %d, call CFCRPCSetCurrentOperationMode(%d)...", current,
               mode);
    // The firmware takes no other mode change while its test mode runs.
    if (current == kOperationModeTest) {
        trace.step(kSwitchLevel, "target in test mode, finish test mode...");
        if (const uint16_t error = storeFailure(connection, CFCRPCCalDevGsmFinish(connection))) {
            trace.fails(kSwitchLevel, "CFCRPCCalDevGsmFinish", error);
            return 0;
        }
        trace.step(kSwitchLevel, "test mode finished");
    }
    if (const uint16_t error =
            storeFailure(connection, CFCRPCSetCurrentOperationMode(connection, mode))) {
        trace.fails(kSwitchLevel, "CFCRPCSetCurrentOperationMode", error);
        return 0;
    }
    // A firmware may confirm the set and stay where it was; only a second
    // reading tells.
    trace.step(kSwitchLevel, "check -> CFCRPCGetCurrentOperationMode()...");
    if (const uint16_t error =
            storeFailure(connection, CFCRPCGetCurrentOperationMode(connection, &current))) {
        trace.fails(kSwitchLevel, "CFCRPCGetCurrentOperationMode", error);
        return 0;
    }
    if (current != mode) {
        connection.storeError(EMMIERR_MODE_NOT_TAKEN);
        trace.step(kSwitchLevel, "mode %d, target *NOT* successfully set to mode %d", current,
                   mode);
        return 0;
    }
    trace.step(kSwitchLevel, "target successfully set to mode %d", mode);
    return 1;
}

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WInitServiceMode(uint32_t handle)
{
    return initModeOf(handle, kServiceMode);
}
int32_t WInitNormalMode(uint32_t handle)
{
    return initModeOf(handle, kNormalMode);
}
int32_t WInitTestMode(uint32_t handle)
{
    return initModeOf(handle, kTestMode);
}
int32_t WInitAirplaneMode(uint32_t handle)
{
    return initModeOf(handle, kAirplaneMode);
}
int32_t WInitNormalModeFromTestMode(uint32_t handle)
{
    return initModeOf(handle, kNormalModeFromTestMode);
}

int32_t WSwitchTargetToOperationMode(uint32_t handle, uint8_t publicMode)
{
    // Not pattern-checked: any value naming a slot reaches its connection.
    Connection* connection = ConnectionOfBits(handle);
    return connection != nullptr ? switchToPublicMode(*connection, publicMode) : 0;
}

int32_t WExitServiceMode(uint32_t handle)
{
    return OnConnection(handle, int32_t{0}, [](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WExitServiceMode");
        trace.call(4, "()");
        trace.step(5, "call WSwitchTargetToOperationMode(CFCNormalMode)...");
        const int32_t result = switchToPublicMode(connection, CFCNormalMode);
        if (!result) {
            trace.fails(4, "WSwitchTargetToOperationMode", result);
            return 0;
        }
        trace.call(5, " O.K.");
        return 1;
    });
}

} // extern "C"
