#include "cfc_serialmode.h"

#include "cfc_intern.h"

#include "emmierr.h"

#include "plat/clock.h"

#include <algorithm>

namespace cfc {

namespace {

constexpr uint32_t kSettleMs = 50;

// Raw-buffer read time-out classes: 50 ms for the first byte of an answer,
// the inter-character time for the rest.
constexpr uint8_t kFirstByteClass = 0;
constexpr uint8_t kInterCharacterClass = 1;

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
    EmmiL1SetRawReadTimeout(handle, kFirstByteClass);
    if (ReadRawRxBuffer(handle, buffer, 1) != EMMIERR_OK)
        return false;
    EmmiL1SetRawReadTimeout(handle, kInterCharacterClass);
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

} // namespace cfc

namespace cfc {

// Declared for the mode code; the probes follow.
uint8_t GetTargetSerialMode(uint32_t, uint8_t) { return kTargetSerialModeUnknown; }
int32_t WaitForTargetSerialMode(uint32_t, uint8_t) { return 0; }
int32_t WaitForTargetSerialModeOtherThan(uint32_t, uint8_t) { return 0; }
int32_t SwitchSerialToEMMIMode(uint32_t, uint8_t) { return 0; }
int32_t SwitchSerialToEMMIModeEmmiFirst(uint32_t, uint8_t) { return 0; }

} // namespace cfc
