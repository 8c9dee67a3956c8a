#include "cfc_serialmode.h"

#include "cfc_intern.h"

#include "plat/clock.h"

namespace cfc {

namespace {

constexpr uint32_t kSettleMs = 50;

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

} // namespace cfc
