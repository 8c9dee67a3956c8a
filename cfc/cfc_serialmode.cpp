#include "cfc_serialmode.h"

#include "cfc_intern.h"
#include "cfc_pacing.h"

#include "emmierr.h"

#include "plat/clock.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace cfc {

namespace {

constexpr uint32_t kSettleMs = 50;

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

ErrorCode sendProbeBlock(uint32_t handle, const uint8_t* data, uint16_t length) {
    SendBlockProlog(handle);
    const ErrorCode code = EmmiL1Write(handle, data, length);
    SendBlockEpilog(handle);
    return code;
}

TestResult atTest(uint32_t handle, ProbeAnswer& answer) {
    for (const uint8_t byte : kAtTestString) {
        if (const ErrorCode code = sendProbeBlock(handle, &byte, 1); code != EMMIERR_OK) {
            TraceLineF(handle, kProbeLevel, "(CFC ) GetTargetSerialMode: could not send (%d)", code);
            return kTargetSerialModeUnknown;
        }
        plat::sleepMs(kAtBytePauseMs);
    }
    if (!GetResponse(handle, answer, kProbeAnswerSize)) {
        TraceLine(handle, kProbeLevel, "(CFC ) GetTargetSerialMode: no response for AT  test string");
        return std::nullopt;
    }
    // Case matters: a module echoing in capitals is not taken for one in AT
    // mode.
    if (std::memcmp(answer, kAtTestString, sizeof kAtTestString) != 0) {
        TraceLine(handle, kProbeLevel, "(CFC ) GetTargetSerialMode: Echo Response on AT not >AT<");
        return std::nullopt;
    }
    TraceLine(handle, kProbeLevel,
              "(CFC ) GetTargetSerialMode: AT echo received, target serial in AT mode");
    ReturnResponseRest(handle, answer + sizeof kAtTestString,
                       kProbeAnswerSize - sizeof kAtTestString);
    plat::sleepMs(kAfterAtEchoMs);
    return kTargetSerialModeAT;
}

TestResult emmiTest(uint32_t handle, ProbeAnswer& answer) {
    if (const ErrorCode code = sendProbeBlock(handle, kEmmiTestString, sizeof kEmmiTestString);
        code != EMMIERR_OK) {
        TraceLineF(handle, kEmmiSendFailureLevel, "(CFC ) GetTargetSerialMode: could not send (%d)",
                   code);
        return kTargetSerialModeUnknown;
    }
    if (!GetResponse(handle, answer, kProbeAnswerSize))
        TraceLine(handle, kProbeLevel, "(CFC ) GetTargetSerialMode: no response for EMMI test string");
    // Without an answer the first byte is still the fill byte.
    switch (answer[0]) {
    case kNak:
        TraceLine(handle, kProbeLevel,
                  "(CFC ) GetTargetSerialMode: NAK received, target serial in EMMI mode");
        break;
    case kAck:
    case kStx:
        TraceLine(handle, kProbeLevel,
                  "(CFC ) GetTargetSerialMode: ACK or STX received, target serial in EMMI mode");
        break;
    default:
        return std::nullopt;
    }
    ReturnResponseRest(handle, answer + 1, kProbeAnswerSize - 1);
    return kTargetSerialModeEMMI;
}

// Probes, AT first, until `reached` holds for the serial mode found, at most
// kWaitProbes times. The last mode found goes to `last`.
template <typename Reached>
bool probeUntil(uint32_t handle, Reached reached, uint8_t& last) {
    for (unsigned probe = 1; probe <= kWaitProbes; ++probe) {
        last = GetTargetSerialMode(handle, 0);
        if (reached(last))
            return true;
        if (probe < kWaitProbes)
            plat::sleepMs(kBetweenProbesMs);
    }
    return false;
}

} // namespace

void FlushTargetInput(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    // Ends the receive thread's pending read so that what it has read is
    // handed on; the reader resets the event, so a set cannot be missed the
    // way a short set-and-reset could be.
    slot->events.readCancel.set();
    plat::sleepMs(kSettleMs);
    {
        std::lock_guard<std::mutex> hold(slot->raw.lock);
        FlushBuffer(handle, slot->raw.rxBuffer.data(), slot->raw.rxCount);
    }
    EmmiL3DrainRxQueue(handle);
}

bool GetResponse(uint32_t handle, uint8_t* buffer, uint8_t length) {
    if (buffer == nullptr || length == 0)
        return false;
    std::fill_n(buffer, length, kResponseFill);
    // 50 ms for the first byte of an answer, the inter-character time for
    // the rest.
    EmmiL1SetRawReadTimeout(handle, kTimeoutClassShort);
    if (ReadRawRxBuffer(handle, buffer, 1) != EMMIERR_OK)
        return false;
    EmmiL1SetRawReadTimeout(handle, kTimeoutClassInterCharacter);
    ReadRawRxBuffer(handle, buffer + 1, static_cast<uint16_t>(length - 1));
    // The inter-character time is short: an answer that paused gets one more
    // chance from its first missing byte on.
    const uint8_t* missing = std::find(buffer, buffer + length, kResponseFill);
    if (missing != buffer + length)
        ReadRawRxBuffer(handle, buffer + (missing - buffer), static_cast<uint16_t>(buffer + length - missing));
    return true;
}

void ReturnResponseRest(uint32_t handle, const uint8_t* data, uint8_t length) {
    if (data == nullptr)
        return;
    const uint8_t* missing = std::find(data, data + length, kResponseFill);
    AddToSkipBuffer(handle, data, static_cast<uint8_t>(missing - data));
}

uint8_t GetTargetSerialMode(uint32_t handle, uint8_t emmiFirst) {
    FlushTargetInput(handle);
    // Both tests read into it; the last one's answer is what an unknown
    // response shows.
    ProbeAnswer answer{};
    if (emmiFirst == 0) {
        if (const TestResult mode = atTest(handle, answer))
            return *mode;
        if (const TestResult mode = emmiTest(handle, answer))
            return *mode;
        return kTargetSerialModeOff;
    }
    if (const TestResult mode = emmiTest(handle, answer))
        return *mode;
    if (const TestResult mode = atTest(handle, answer))
        return *mode;
    TraceBytes(handle, kProbeLevel, "(CFC ) GetTargetSerialMode: got unknown protocol response ->",
               answer, kProbeAnswerSize);
    ReturnResponseRest(handle, answer, kProbeAnswerSize);
    return kTargetSerialModeUnknown;
}

int32_t WaitForTargetSerialMode(uint32_t handle, uint8_t mask) {
    if (SlotOf(handle) == nullptr)
        return 0;
    uint8_t last = 0;
    if (probeUntil(handle, [mask](uint8_t mode) { return (mode & mask) != 0; }, last))
        return 1;
    TraceLineF(handle, kProbeLevel, "(CFC ) WaitForTargetSerialMode failed, is %d, should %d", last,
               mask);
    return 0;
}

int32_t WaitForTargetSerialModeOtherThan(uint32_t handle, uint8_t mask) {
    if (SlotOf(handle) == nullptr)
        return 0;
    uint8_t last = 0;
    if (probeUntil(handle, [mask](uint8_t mode) { return (mode & mask) == 0; }, last))
        return 1;
    TraceLineF(handle, kProbeLevel, "(CFC ) WaitForTargetSerialModeOtherThan failed, is %d", last);
    return 0;
}

} // namespace cfc
