// The switch of the module's serial interface to EMMI: the decision between
// booting, leaving alone and the AT command "at^sqwe=1".
#include "cfc_emmiswitch.h"

#include "cfc_boot.h"
#include "cfc_connection.h"
#include "cfc_progress.h"
#include "cfc_rawexchange.h"
#include "cfc_serialmode.h"

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

OpTrace switchTrace(const Connection& connection)
{
    return {connection.trace, "(CFC )", "SwitchSerialToEMMIMode"};
}

enum class SwitchCommand : uint8_t { Accepted, NotAnswered, NotSent };

SwitchCommand sendSwitchCommand(Connection& connection)
{
    FlushTargetInput(connection);
    switchTrace(connection).step(kSwitchLevel, "target serial in AT mode, sending at^sqwe=1");
    const ErrorCode code = SendBlock(connection.pacer, kSwitchCommand, sizeof kSwitchCommand);
    if (code != EMMIERR_OK) {
        connection.storeError(code);
        switchTrace(connection).call(kSwitchLevel, " fails: could not send (%d)", code);
        return SwitchCommand::NotSent;
    }
    plat::sleepMs(kBeforeCheckMs);

    uint8_t response[sizeof kSwitchCommand];
    switchTrace(connection).step(kSwitchLevel, "check for echo...");
    if (!CheckResponse(connection, response, kSwitchCommand, sizeof kSwitchCommand))
        return SwitchCommand::NotAnswered;
    switchTrace(connection).step(kSwitchLevel, "check for answer...");
    if (!CheckResponse(connection, response, kSwitchAnswer, sizeof kSwitchAnswer))
        return SwitchCommand::NotAnswered;
    return SwitchCommand::Accepted;
}

// Only a wrong or missing answer is worth another attempt; a refused write
// ends the switch at once.
bool switchCommandAccepted(Connection& connection)
{
    const WaitProgress progress(CFC_WAIT_EMMI, kSwitchAttempts);
    for (unsigned attempt = 1; attempt <= kSwitchAttempts; ++attempt) {
        progress.step(static_cast<int32_t>(attempt));
        switch (sendSwitchCommand(connection)) {
        case SwitchCommand::Accepted: return true;
        case SwitchCommand::NotSent: return false;
        case SwitchCommand::NotAnswered: break;
        }
        plat::sleepMs(kBetweenAttemptsMs);
    }
    connection.storeError(EMMIERR_NO_EMMI);
    switchTrace(connection).call(kSwitchLevel, " fails: at^sqwe=1 not correctly answered");
    return false;
}

bool bootModule(Connection& connection, uint8_t bootServiceMode)
{
    const ErrorMark mark(connection);
    bool started = false;
    if (bootServiceMode != 0) {
        switchTrace(connection)
            .step(kSwitchLevel, "mobile seems to be off, switch on in service mode...");
        started = ModuleBootServiceMode(connection) != 0;
    } else {
        switchTrace(connection)
            .step(kSwitchLevel, "mobile seems to be off, switch on in normal mode...");
        started = ModuleBootNormalMode(connection) != 0;
    }
    if (!started && !mark.storedSince())
        connection.storeError(EMMIERR_NOT_STARTED);
    return started;
}

int32_t switchToEmmi(Connection& connection, uint8_t bootServiceMode, uint8_t emmiFirst)
{
    switchTrace(connection).step(kSwitchLevel, "get target serial mode...");
    uint8_t mode = GetTargetSerialMode(connection, emmiFirst);
    if ((mode & kTargetSerialModeSeemsOff) != 0) {
        if (!bootModule(connection, bootServiceMode)) {
            switchTrace(connection).call(kSwitchLevel, " fails: could not start module");
            return 0;
        }
        mode = GetTargetSerialMode(connection, 0);
    }
    if (mode == kTargetSerialModeEMMI) {
        switchTrace(connection).step(kSwitchLevel, "target serial in EMMI mode, O.K.");
        return 1;
    }

    // Also after a boot whose probe found nothing: the module may just be
    // slow to answer, and the attempts give it time.
    if (!switchCommandAccepted(connection))
        return 0;
    switchTrace(connection).step(kSwitchLevel, "target serial entering EMMI mode...");
    const ErrorMark waited(connection);
    const bool reached = [&] {
        const WaitProgress progress(CFC_WAIT_EMMI, 0);
        return WaitForTargetSerialMode(connection, kTargetSerialModeEMMI) != 0;
    }();
    if (!reached) {
        if (!waited.storedSince())
            connection.storeError(EMMIERR_NO_EMMI);
        switchTrace(connection).call(kSwitchLevel, " fails: EMMI mode not reached!?");
        return 0;
    }
    switchTrace(connection).step(kSwitchLevel, "target serial successfully switched to EMMI mode");
    FlushTargetInput(connection);
    switchTrace(connection).step(kSwitchLevel, "O.K.");
    return 1;
}

} // namespace

int32_t SwitchSerialToEMMIMode(Connection& connection, uint8_t bootServiceMode)
{
    return switchToEmmi(connection, bootServiceMode, 0);
}

int32_t SwitchSerialToEMMIModeEmmiFirst(Connection& connection, uint8_t bootServiceMode)
{
    return switchToEmmi(connection, bootServiceMode, 1);
}

} // namespace cfc
