#include "cfc_boot.h"

#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_progress.h"
#include "cfc_rawexchange.h"
#include "cfc_serialmode.h"

#include "emmierr.h"

#include "plat/clock.h"

#include <array>

namespace cfc {

namespace {

constexpr uint16_t kBootLevel = 5;
constexpr uint16_t kCallLevel = 4;

// The bootloader's dialogue: a start pattern, then records of four 0xFF
// bytes, a big-endian count, the command bytes and their exclusive-or,
// stored whole as the bootloader expects them.
constexpr uint8_t kStartPattern = 0x78;
constexpr uint8_t kPatternAnswer = 0x87;
constexpr uint8_t kBootloaderAck = 0x06;
constexpr uint8_t kVersionCommand[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0xFE, 0x07, 0xFB};
constexpr uint8_t kBootCommand[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x03, 0xFE, 0x01, 0x02, 0xFE};

constexpr unsigned kPatternRounds = 200;
constexpr unsigned kVersionRounds = 5;
constexpr unsigned kConfirmationReads = 5;

// The version record that follows the bootloader's ACK.
constexpr uint16_t kVersionAnswerSize = 11;
constexpr size_t kVersionTagOffset = 6;
constexpr uint8_t kVersionTag[] = {0xFF, 0x07};
constexpr size_t kMajorOffset = 8;
constexpr size_t kMinorOffset = 9;
using VersionAnswer = std::array<uint8_t, kVersionAnswerSize>;

// What the module sends first after a plain ignition.
constexpr uint16_t kFirstDataSize = 11;

constexpr uint32_t kAfterPatternMs = 10;
// The firmware re-programs itself after the ignition and must not be
// disturbed meanwhile.
constexpr uint32_t kReprogramMs = 800;

// The lines of each boot, under its operation's name.
OpTrace serviceBoot(const Connection& connection)
{
    return {connection.trace, "(CFC )", "ModuleBootServiceMode"};
}
OpTrace normalBoot(const Connection& connection)
{
    return {connection.trace, "(CFC )", "ModuleBootNormalMode"};
}
OpTrace firstStart(const Connection& connection)
{
    return {connection.trace, "(CFC )", "WStartModuleForTheFirstTime"};
}

// The module's ignition input hangs on DTR: DTR high pulls the ignition low
// and switches the module on.
// A port that refuses the line is a system failure, kept with its reason.
bool driveIgnition(Connection& connection, bool dtrHigh)
{
    const ErrorCode code = EmmiL1SetDtr(connection.serial, dtrHigh);
    if (code != EMMIERR_OK)
        connection.storeError(code);
    return code == EMMIERR_OK;
}

void setRawByteMode(Connection& connection, bool on)
{
    connection.frames.setRawByteMode(on);
}

// A service boot that fails during the bootloader dialogue lets go of the
// ignition and returns the line to its normal settings, so the connection
// stays usable at the rate it was opened with.
int32_t abandonDialogue(Connection& connection)
{
    setRawByteMode(connection, false);
    // The normal settings hold DTR low.
    EmmiL1SetLineDtrOff(connection.serial);
    return 0;
}

// Sends start patterns until the bootloader answers one.
bool findBootloader(Connection& connection)
{
    serviceBoot(connection).step(kBootLevel, "send/rec pattern...");
    const WaitProgress progress(CFC_WAIT_BOOT, kPatternRounds);
    for (unsigned round = 0; round < kPatternRounds; ++round) {
        progress.step(static_cast<int32_t>(round + 1));
        if (const ErrorCode code = EmmiL1Write(connection.serial, &kStartPattern, 1);
            code != EMMIERR_OK) {
            serviceBoot(connection).step(kBootLevel, "could not send initial pattern (%d)", code);
            return false;
        }
        EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassInterCharacter);
        uint8_t answer = 0;
        if (ReadRawRxBuffer(connection.raw, &answer, 1) == EMMIERR_OK && answer == kPatternAnswer)
            return true;
    }
    serviceBoot(connection).step(kBootLevel, "no valid pattern answer");
    return false;
}

// Asks for the bootloader's version. 0, or the code of the write or read
// that failed; `known` tells whether a valid version record came.
ErrorCode queryBootloaderVersion(Connection& connection, bool& known)
{
    serviceBoot(connection).step(kBootLevel, "get bootloader version...");
    EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassOneSecond);
    known = false;
    ErrorCode status = EMMIERR_OK;
    uint8_t ack = 0;
    for (unsigned round = 0; round < kVersionRounds && status == EMMIERR_OK; ++round) {
        status = EmmiL1Write(connection.serial, kVersionCommand, sizeof kVersionCommand);
        if (status != EMMIERR_OK) {
            serviceBoot(connection).step(kBootLevel, "could not send version cmd");
            break;
        }
        status = ReadRawRxBuffer(connection.raw, &ack, 1);
        if (status != EMMIERR_OK || ack != kBootloaderAck) {
            serviceBoot(connection)
                .step(kBootLevel, "no/unexpected response err %d, response 0x%x", status, ack);
            continue;
        }
        VersionAnswer answer{};
        status = ReadRawRxBuffer(connection.raw, answer.data(), kVersionAnswerSize);
        if (status != EMMIERR_OK)
            break;
        if (answer[kVersionTagOffset] != kVersionTag[0] ||
            answer[kVersionTagOffset + 1] != kVersionTag[1])
            continue;
        known = true;
        status = EmmiL1Write(connection.serial, &kBootloaderAck, 1);
        serviceBoot(connection)
            .step(kBootLevel, "Bootloader version V%c.%c", '0' + answer[kMajorOffset],
                  '0' + answer[kMinorOffset]);
        break;
    }
    return status;
}

bool sendBootCommand(Connection& connection)
{
    serviceBoot(connection).step(kBootLevel, "send boot command...");
    if (const ErrorCode code = EmmiL1Write(connection.serial, kBootCommand, sizeof kBootCommand);
        code != EMMIERR_OK) {
        serviceBoot(connection).step(kBootLevel, "could not send boot command (%d)", code);
        return false;
    }
    serviceBoot(connection).step(kBootLevel, "receive boot confirmation...");
    EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassOneSecond);
    for (unsigned read = 0; read < kConfirmationReads; ++read) {
        uint8_t answer = 0;
        if (ReadRawRxBuffer(connection.raw, &answer, 1) == EMMIERR_OK && answer == kBootloaderAck)
            return true;
    }
    serviceBoot(connection).step(kBootLevel, "no boot command confirmation");
    return false;
}

// The bootloader dialogue, DTR already high: pattern, version, boot command.
bool talkToBootloader(Connection& connection)
{
    if (!findBootloader(connection))
        return false;
    plat::sleepMs(kAfterPatternMs);
    bool versionKnown = false;
    if (const ErrorCode status = queryBootloaderVersion(connection, versionKnown);
        status != EMMIERR_OK) {
        serviceBoot(connection).step(kBootLevel, "could not get bootloader version (%d)", status);
        return false;
    }
    // Bootloaders up to version 0.4 answer the version command with nothing
    // valid, but they boot all the same.
    if (!versionKnown)
        serviceBoot(connection).step(kBootLevel, "Bootloader version V0.4 or below");
    return sendBootCommand(connection);
}

// The end of both boots: waits until the firmware answers a probe as AT or
// EMMI, then lets go of the ignition whether it answered or not. False when
// DTR could not be cleared; `switchedOn` tells whether the firmware answered.
bool awaitFirmware(Connection& connection, const char* boot, bool& switchedOn)
{
    OpTrace(connection.trace, "(CFC )", boot).step(kBootLevel, "wait for mobile to switch on...");
    {
        const WaitProgress progress(CFC_WAIT_FIRMWARE, 0);
        switchedOn = WaitForTargetSerialModeOtherThan(connection, kTargetSerialModeSeemsOff) != 0;
    }
    OpTrace(connection.trace, "(CFC )", boot)
        .step(kBootLevel, "Set Ignition high / DTR logical low");
    if (driveIgnition(connection, false))
        return true;
    OpTrace(connection.trace, "(CFC )", boot).step(kBootLevel, "cannot set ignition high ");
    return false;
}

} // namespace

int32_t ModuleBootServiceMode(Connection& connection)
{
    FlushTargetInput(connection);
    EmmiL1SetLineBoot(connection.serial);
    // The bootloader's bytes are no EMMI: STX, ACK and NAK among them must
    // reach the dialogue, not the frame receiver.
    setRawByteMode(connection, true);
    serviceBoot(connection).step(kBootLevel, "Set Ignition low / DTR logical high");
    if (!driveIgnition(connection, true)) {
        serviceBoot(connection).step(kBootLevel, "cannot set ignition low");
        return abandonDialogue(connection);
    }
    if (!talkToBootloader(connection))
        return abandonDialogue(connection);
    serviceBoot(connection)
        .step(kBootLevel, "wait, don't disturb - the firmware re-programs the VTLP!...");
    plat::sleepMs(kReprogramMs);

    setRawByteMode(connection, false);
    EmmiL1SetLineDtrOn(connection.serial);
    bool switchedOn = false;
    if (!awaitFirmware(connection, "ModuleBootServiceMode", switchedOn))
        return 0;
    EmmiL1SetLineDtrOff(connection.serial);
    if (!switchedOn) {
        serviceBoot(connection).call(kBootLevel, " fails: No Communication with Module!?");
        return 0;
    }
    serviceBoot(connection).step(kBootLevel, "O.K.");
    return 1;
}

int32_t ModuleBootNormalMode(Connection& connection)
{
    normalBoot(connection).step(kBootLevel, "Set Ignition low / DTR logical high");
    if (!driveIgnition(connection, true)) {
        normalBoot(connection).step(kBootLevel, "cannot set ignition low");
        return 0;
    }
    normalBoot(connection)
        .step(kBootLevel, "wait, don't disturb - the firmware re-programs the VTLP!...");
    plat::sleepMs(kReprogramMs);
    bool switchedOn = false;
    if (!awaitFirmware(connection, "ModuleBootNormalMode", switchedOn))
        return 0;
    if (!switchedOn) {
        normalBoot(connection).call(kBootLevel, " fails: No Communication with module!?");
        return 0;
    }
    normalBoot(connection).step(kBootLevel, "O.K.");
    return 1;
}

} // namespace cfc

extern "C" int32_t WStartModuleForTheFirstTime(uint32_t handle, uint16_t count)
{
    using namespace cfc;
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        firstStart(connection).call(kCallLevel, "(timeout %d)", count);
        firstStart(connection).step(kBootLevel, "set Ignition low");
        if (!driveIgnition(connection, true)) {
            firstStart(connection).step(kBootLevel, "cannot set Ignition low");
            connection.storeError(EMMIERR_SYSTEM);
            return 0;
        }
        EmmiL1SetRawReadTimeout(connection.serial, kTimeoutClassOneSecond);
        // An incomplete read takes what did arrive, so each attempt waits for a
        // whole first message of its own.
        std::array<uint8_t, kFirstDataSize> data{};
        bool complete = false;
        for (uint16_t attempt = 0; attempt < count && !complete; ++attempt)
            complete = ReadRawRxBuffer(connection.raw, data.data(), kFirstDataSize) == EMMIERR_OK;
        if (!complete) {
            firstStart(connection).step(kBootLevel, "timeout!");
            driveIgnition(connection, false);
            connection.storeError(EMMIERR_TIMEOUT);
            return 0;
        }
        TraceBytes(connection.trace, kBootLevel,
                   "(CFC ) WStartModuleForTheFirstTime: data received ->", data.data(),
                   kFirstDataSize);
        firstStart(connection).step(kBootLevel, "set Ignition high");
        if (!driveIgnition(connection, false)) {
            firstStart(connection).step(kBootLevel, "cannot set Ignition high ");
            connection.storeError(EMMIERR_SYSTEM);
            return 0;
        }
        return 1;
    });
}
