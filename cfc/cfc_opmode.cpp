// Operation modes of the module's firmware: the switch itself, the mode
// initialisations that bring the line to EMMI first, and the public switch.
#include "cfc_opmode.h"

#include "cfc.h"
#include "cfc_intern.h"
#include "cfc_serialmode.h"
#include "cfc_sigtrace.h"
#include "cfc_trace.h"
#include "cfcrpc.h"

#include <array>

namespace cfc {

namespace {

constexpr uint16_t kSwitchLevel = 5;

// A failed call's result is what a caller reads back with WGetLastError.
uint16_t storeFailure(uint32_t handle, uint16_t result) {
    if (result != kRpcOk)
        StoreLastError(handle, result);
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
constexpr ModeInit kServiceMode{"WInitServiceMode", false, 1, 5, "ServiceMode", "service",
                                kOperationModeService, nullptr,
                                {Step::TraceConfig, Step::SwitchMode, Step::None}};
constexpr ModeInit kNormalMode{"WInitNormalMode", false, 0, 5, "NormalMode", "normal",
                               kOperationModeNormal,
                               "2 secs wait 'let the system come up...'",
                               {Step::SwitchMode, Step::SkippedPause, Step::TraceConfig}};
constexpr ModeInit kTestMode{"WInitTestMode", false, 0, 5, "TestMode", "test", kOperationModeTest,
                             "4 secs wait 'wait 4 secs before switching target to test mode...'",
                             {Step::SkippedPause, Step::TraceConfig, Step::SwitchMode}};
constexpr ModeInit kAirplaneMode{"WInitAirplaneMode", false, 0, 6, "AirplaneMode", "airplane",
                                 kOperationModeAirplane, nullptr,
                                 {Step::TraceConfig, Step::SwitchMode, Step::None}};
constexpr ModeInit kNormalModeFromTestMode{"WInitNormalModeFromTestMode", true, 0, 6, "NormalMode",
                                           "normal", kOperationModeNormal,
                                           "2 secs wait 'let the system come up...'",
                                           {Step::SwitchMode, Step::SkippedPause, Step::TraceConfig}};

int32_t initMode(uint32_t handle, const ModeInit& init) {
    if (SlotOf(handle) == nullptr)
        return 0;
    TraceLineF(handle, 4, "(CFC ) %s()", init.name);
    TraceLineF(handle, init.level, "(CFC ) %s: switch serial to EMMI mode...", init.name);
    const int32_t onEmmi = init.emmiFirst ? SwitchSerialToEMMIModeEmmiFirst(handle, init.bootServiceMode)
                                          : SwitchSerialToEMMIMode(handle, init.bootServiceMode);
    if (!onEmmi) {
        TraceLineF(handle, 4, "(CFC ) %s: SwitchSerialToEmmiMode fails", init.name);
        return 0;
    }
    for (const Step step : init.steps) {
        switch (step) {
        case Step::None:
            break;
        case Step::TraceConfig:
            LoadSignalTraceConfig(handle, init.traceConfig);
            break;
        case Step::SkippedPause:
            TraceLineF(handle, init.level, "(CFC ) %s: FAST_DLL: skip %s", init.name, init.skippedPause);
            break;
        case Step::SwitchMode:
            TraceLineF(handle, init.level, "(CFC ) %s: switch target to %s mode...", init.name,
                       init.modeWord);
            if (!SwitchTargetToOperationMode(handle, init.mode)) {
                TraceLineF(handle, 4, "(CFC ) %s: SwitchTargetToOperationMode fails", init.name);
                return 0;
            }
            break;
        }
    }
    TraceLineF(handle, init.level, "(CFC ) %s: O.K.", init.name);
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

} // namespace

int32_t SwitchTargetToOperationMode(uint32_t handle, uint8_t mode) {
    TraceLineF(handle, kSwitchLevel, "(CFC ) SwitchTargetToOperationMode(operationMode=%d)", mode);
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchTargetToOperationMode: call CFCRPCGetCurrentOperationMode()...");
    uint8_t current = 0;
    if (const uint16_t error = storeFailure(handle, CFCRPCGetCurrentOperationMode(handle, &current))) {
        TraceLineF(handle, kSwitchLevel,
                   "(CFC ) SwitchTargetToOperationMode: CFCRPCGetCurrentOperationMode fails with error %d",
                   error);
        return 0;
    }
    if (current == mode) {
        TraceLineF(handle, kSwitchLevel, "(CFC ) SwitchTargetToOperationMode: target already in mode %d",
                   mode);
        return 1;
    }
    TraceLineF(handle, kSwitchLevel,
               "(CFC ) SwitchTargetToOperationMode: current mode %d, call CFCRPCSetCurrentOperationMode(%d)...",
               current, mode);
    // The firmware takes no other mode change while its test mode runs.
    if (current == kOperationModeTest) {
        TraceLine(handle, kSwitchLevel,
                  "(CFC ) SwitchTargetToOperationMode: target in test mode, finish test mode...");
        if (const uint16_t error = storeFailure(handle, CFCRPCCalDevGsmFinish(handle))) {
            TraceLineF(handle, kSwitchLevel,
                       "(CFC ) SwitchTargetToOperationMode: CFCRPCCalDevGsmFinish fails with error %d", error);
            return 0;
        }
        TraceLine(handle, kSwitchLevel, "(CFC ) SwitchTargetToOperationMode: test mode finished");
    }
    if (const uint16_t error = storeFailure(handle, CFCRPCSetCurrentOperationMode(handle, mode))) {
        TraceLineF(handle, kSwitchLevel,
                   "(CFC ) SwitchTargetToOperationMode: CFCRPCSetCurrentOperationMode fails with error %d",
                   error);
        return 0;
    }
    // A firmware may confirm the set and stay where it was; only a second
    // reading tells.
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchTargetToOperationMode: check -> CFCRPCGetCurrentOperationMode()...");
    if (const uint16_t error = storeFailure(handle, CFCRPCGetCurrentOperationMode(handle, &current))) {
        TraceLineF(handle, kSwitchLevel,
                   "(CFC ) SwitchTargetToOperationMode: CFCRPCGetCurrentOperationMode fails with error %d",
                   error);
        return 0;
    }
    if (current != mode) {
        TraceLineF(handle, kSwitchLevel,
                   "(CFC ) SwitchTargetToOperationMode: mode %d, target *NOT* successfully set to mode %d",
                   current, mode);
        return 0;
    }
    TraceLineF(handle, kSwitchLevel, "(CFC ) SwitchTargetToOperationMode: target successfully set to mode %d",
               mode);
    return 1;
}

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WInitServiceMode(uint32_t handle) { return initMode(handle, kServiceMode); }
int32_t WInitNormalMode(uint32_t handle) { return initMode(handle, kNormalMode); }
int32_t WInitTestMode(uint32_t handle) { return initMode(handle, kTestMode); }
int32_t WInitAirplaneMode(uint32_t handle) { return initMode(handle, kAirplaneMode); }
int32_t WInitNormalModeFromTestMode(uint32_t handle) { return initMode(handle, kNormalModeFromTestMode); }

int32_t WSwitchTargetToOperationMode(uint32_t handle, uint8_t publicMode) {
    TraceLineF(handle, 4, "(CFC ) WSwitchTargetToOperationMode(operationMode %d)", publicMode);
    int32_t result = 0;
    if (publicMode < kPublicModes.size()) {
        const PublicMode& target = kPublicModes[publicMode];
        TraceLineF(handle, 6,
                   "(CFC ) WSwitchTargetToOperationMode: calling SwitchTargetToOperationMode(cfcHandle, %s)",
                   target.name);
        result = SwitchTargetToOperationMode(handle, target.mode);
    }
    TraceLineF(handle, 6, "(CFC ) WSwitchTargetToOperationMode rets %d", result);
    return result;
}

int32_t WExitServiceMode(uint32_t handle) {
    if (SlotOf(handle) == nullptr)
        return 0;
    TraceLine(handle, 4, "(CFC ) WExitServiceMode()");
    TraceLine(handle, 5, "(CFC ) WExitServiceMode: call WSwitchTargetToOperationMode(CFCNormalMode)...");
    const int32_t result = WSwitchTargetToOperationMode(handle, CFCNormalMode);
    if (!result) {
        TraceLineF(handle, 4, "(CFC ) WExitServiceMode: WSwitchTargetToOperationMode fails with error %d",
                   result);
        return 0;
    }
    TraceLine(handle, 5, "(CFC ) WExitServiceMode O.K.");
    return 1;
}

} // extern "C"
