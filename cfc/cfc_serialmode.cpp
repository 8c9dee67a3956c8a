#include "cfc_serialmode.h"

#include "cfc_connection.h"
#include "cfc_progress.h"
#include "cfc_rawexchange.h"

#include "emmierr.h"

#include "plat/clock.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace cfc {

namespace {

constexpr uint16_t kProbeLevel = 5;
// The EMMI test's write failure is traced only at the most detailed level.
constexpr uint16_t kEmmiSendFailureLevel = 9;

constexpr uint8_t kProbeAnswerSize = 16;
using ProbeAnswer = uint8_t[kProbeAnswerSize];

constexpr uint8_t kAtTestString[] = {'a', 't', '\r'};
// STX, length 1, one data byte and 0x0D where the check byte belongs, with no
// ETX: a module in EMMI mode answers it at once, with NAK as a rule, while a
// module in AT mode takes none of it for a command.
constexpr uint8_t kEmmiTestString[] = {kStx, 0x01, 0xD6, 0x0D};

constexpr uint32_t kAtBytePauseMs = 10;
// Lets the rest of the module's answer to "at" come and go.
constexpr uint32_t kAfterAtEchoMs = 200;

constexpr unsigned kWaitProbes = 100;
constexpr uint32_t kBetweenProbesMs = 100;

// What one test of a probe found: a serial mode that ends the probe, or
// nothing, which leaves the decision to the other test.
using TestResult = std::optional<uint8_t>;

OpTrace probeTrace(const Connection& connection)
{
    return {connection.trace, "(CFC )", "GetTargetSerialMode"};
}

TestResult atTest(Connection& connection, ProbeAnswer& answer)
{
    for (const uint8_t byte : kAtTestString) {
        if (const ErrorCode code = SendBlock(connection.pacer, &byte, 1); code != EMMIERR_OK) {
            connection.storeError(code);
            probeTrace(connection).step(kProbeLevel, "could not send (%d)", code);
            return kTargetSerialModeUnknown;
        }
        plat::sleepMs(kAtBytePauseMs);
    }
    if (!GetResponse(connection, answer, kProbeAnswerSize)) {
        probeTrace(connection).step(kProbeLevel, "no response for AT  test string");
        return std::nullopt;
    }
    // Case matters: a module echoing in capitals is not taken for one in AT
    // mode.
    if (std::memcmp(answer, kAtTestString, sizeof kAtTestString) != 0) {
        probeTrace(connection).step(kProbeLevel, "Echo Response on AT not >AT<");
        return std::nullopt;
    }
    probeTrace(connection).step(kProbeLevel, "AT echo received, target serial in AT mode");
    ReturnResponseRest(connection, answer + sizeof kAtTestString,
                       kProbeAnswerSize - sizeof kAtTestString);
    plat::sleepMs(kAfterAtEchoMs);
    return kTargetSerialModeAT;
}

TestResult emmiTest(Connection& connection, ProbeAnswer& answer)
{
    if (const ErrorCode code = SendBlock(connection.pacer, kEmmiTestString, sizeof kEmmiTestString);
        code != EMMIERR_OK) {
        connection.storeError(code);
        probeTrace(connection).step(kEmmiSendFailureLevel, "could not send (%d)", code);
        return kTargetSerialModeUnknown;
    }
    if (!GetResponse(connection, answer, kProbeAnswerSize))
        probeTrace(connection).step(kProbeLevel, "no response for EMMI test string");
    // Without an answer the first byte is still the fill byte.
    switch (answer[0]) {
    case kNak:
        probeTrace(connection).step(kProbeLevel, "NAK received, target serial in EMMI mode");
        break;
    case kAck:
    case kStx:
        probeTrace(connection).step(kProbeLevel, "ACK or STX received, target serial in EMMI mode");
        break;
    default: return std::nullopt;
    }
    ReturnResponseRest(connection, answer + 1, kProbeAnswerSize - 1);
    return kTargetSerialModeEMMI;
}

// Probes, AT first, until `reached` holds for the serial mode found, at most
// kWaitProbes times. The last mode found goes to `last`.
template <typename Reached>
bool probeUntil(Connection& connection, Reached reached, uint8_t& last)
{
    const WaitProgress progress(CFC_WAIT_PROBES, kWaitProbes);
    for (unsigned probe = 1; probe <= kWaitProbes; ++probe) {
        const ErrorMark mark(connection);
        progress.step(static_cast<int32_t>(probe));
        last = GetTargetSerialMode(connection, 0);
        if (reached(last))
            return true;
        // A port that refuses the probe will refuse the next one too.
        if (mark.storedSince())
            return false;
        if (probe < kWaitProbes)
            plat::sleepMs(kBetweenProbesMs);
    }
    return false;
}

} // namespace

uint8_t GetTargetSerialMode(Connection& connection, uint8_t emmiFirst)
{
    FlushTargetInput(connection);
    // Both tests read into it; the last one's answer is what an unknown
    // response shows.
    ProbeAnswer answer{};
    if (emmiFirst == 0) {
        if (const TestResult mode = atTest(connection, answer))
            return *mode;
        if (const TestResult mode = emmiTest(connection, answer))
            return *mode;
        return kTargetSerialModeOff;
    }
    if (const TestResult mode = emmiTest(connection, answer))
        return *mode;
    if (const TestResult mode = atTest(connection, answer))
        return *mode;
    TraceBytes(connection.trace, kProbeLevel,
               "(CFC ) GetTargetSerialMode: got unknown protocol response ->", answer,
               kProbeAnswerSize);
    ReturnResponseRest(connection, answer, kProbeAnswerSize);
    return kTargetSerialModeUnknown;
}

int32_t WaitForTargetSerialMode(Connection& connection, uint8_t mask)
{
    uint8_t last = 0;
    if (probeUntil(
            connection, [mask](uint8_t mode) { return (mode & mask) != 0; }, last))
        return 1;
    OpTrace(connection.trace, "(CFC )", "WaitForTargetSerialMode")
        .call(kProbeLevel, " failed, is %d, should %d", last, mask);
    return 0;
}

int32_t WaitForTargetSerialModeOtherThan(Connection& connection, uint8_t mask)
{
    uint8_t last = 0;
    if (probeUntil(
            connection, [mask](uint8_t mode) { return (mode & mask) == 0; }, last))
        return 1;
    OpTrace(connection.trace, "(CFC )", "WaitForTargetSerialModeOtherThan")
        .call(kProbeLevel, " failed, is %d", last);
    return 0;
}

} // namespace cfc
