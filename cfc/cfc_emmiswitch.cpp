// The switch of the module's serial interface to EMMI: the decision between
// booting, leaving alone and the AT command "at^sqwe=1".
#include "cfc_serialmode.h"

#include "cfc_boot.h"
#include "cfc_intern.h"
#include "cfc_pacing.h"

#include "emmierr.h"

#include "plat/clock.h"

namespace cfc {

namespace {

constexpr uint16_t kSwitchLevel = 5;

constexpr uint8_t kSwitchCommand[] = {'a', 't', '^', 's', 'q', 'w', 'e', '=', '1', '\r'};
constexpr uint8_t kSwitchAnswer[] = {'\r', '\n', 'O', 'K', '\r', '\n'};

constexpr unsigned kSwitchAttempts = 10;
// The echo and the answer need a moment before the first check looks.
constexpr uint32_t kBeforeCheckMs = 100;
constexpr uint32_t kBetweenAttemptsMs = 500;

enum class SwitchCommand : uint8_t { Accepted, NotAnswered, NotSent };

SwitchCommand sendSwitchCommand(uint32_t handle) {
    FlushTargetInput(handle);
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1");
    SendBlockProlog(handle);
    const ErrorCode code = EmmiL1Write(handle, kSwitchCommand, sizeof kSwitchCommand);
    SendBlockEpilog(handle);
    if (code != EMMIERR_OK) {
        TraceLineF(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode fails: could not send (%d)",
                   code);
        return SwitchCommand::NotSent;
    }
    plat::sleepMs(kBeforeCheckMs);

    uint8_t response[sizeof kSwitchCommand];
    TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: check for echo...");
    if (!CheckResponse(handle, response, kSwitchCommand, sizeof kSwitchCommand))
        return SwitchCommand::NotAnswered;
    TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: check for answer...");
    if (!CheckResponse(handle, response, kSwitchAnswer, sizeof kSwitchAnswer))
        return SwitchCommand::NotAnswered;
    return SwitchCommand::Accepted;
}

// Only a wrong or missing answer is worth another attempt; a refused write
// ends the switch at once.
bool switchCommandAccepted(uint32_t handle) {
    for (unsigned attempt = 1; attempt <= kSwitchAttempts; ++attempt) {
        switch (sendSwitchCommand(handle)) {
        case SwitchCommand::Accepted:
            return true;
        case SwitchCommand::NotSent:
            return false;
        case SwitchCommand::NotAnswered:
            break;
        }
        plat::sleepMs(kBetweenAttemptsMs);
    }
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchSerialToEMMIMode fails: at^sqwe=1 not correctly answered");
    return false;
}

bool bootModule(uint32_t handle, uint8_t bootServiceMode) {
    if (bootServiceMode != 0) {
        TraceLine(handle, kSwitchLevel,
                  "(CFC ) SwitchSerialToEMMIMode: mobile seems to be off, switch on in service mode...");
        return ModuleBootServiceMode(handle) != 0;
    }
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchSerialToEMMIMode: mobile seems to be off, switch on in normal mode...");
    return ModuleBootNormalMode(handle) != 0;
}

int32_t switchToEmmi(uint32_t handle, uint8_t bootServiceMode, uint8_t emmiFirst) {
    TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: get target serial mode...");
    uint8_t mode = GetTargetSerialMode(handle, emmiFirst);
    if ((mode & kTargetSerialModeSeemsOff) != 0) {
        if (!bootModule(handle, bootServiceMode)) {
            TraceLine(handle, kSwitchLevel,
                      "(CFC ) SwitchSerialToEMMIMode fails: could not start module");
            return 0;
        }
        mode = GetTargetSerialMode(handle, 0);
    }
    if (mode == kTargetSerialModeEMMI) {
        TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: target serial in EMMI mode, O.K.");
        return 1;
    }

    // Also after a boot whose probe found nothing: the module may just be
    // slow to answer, and the attempts give it time.
    if (!switchCommandAccepted(handle))
        return 0;
    TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: target serial entering EMMI mode...");
    if (WaitForTargetSerialMode(handle, kTargetSerialModeEMMI) == 0) {
        TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode fails: EMMI mode not reached!?");
        return 0;
    }
    TraceLine(handle, kSwitchLevel,
              "(CFC ) SwitchSerialToEMMIMode: target serial successfully switched to EMMI mode");
    FlushTargetInput(handle);
    TraceLine(handle, kSwitchLevel, "(CFC ) SwitchSerialToEMMIMode: O.K.");
    return 1;
}

} // namespace

int32_t SwitchSerialToEMMIMode(uint32_t handle, uint8_t bootServiceMode) {
    return switchToEmmi(handle, bootServiceMode, 0);
}

int32_t SwitchSerialToEMMIModeEmmiFirst(uint32_t handle, uint8_t bootServiceMode) {
    return switchToEmmi(handle, bootServiceMode, 1);
}

} // namespace cfc
