#include "cfc_intern.h"

#include <string>
#include <utility>

namespace cfc {

namespace {

std::string eventName(const char* base, unsigned slot) {
    return base + std::to_string(slot);
}

template <size_t... I>
std::array<Slot, sizeof...(I)> makeSlots(std::index_sequence<I...>) {
    return {Slot(I)...};
}

} // namespace

SlotEvents::SlotEvents(unsigned slot)
    : rxFrame(eventName("rxFrameEvent", slot)),
      rxAckNak(eventName("rxAckNakEvent", slot)),
      rxOther(eventName("rxOtherEvent", slot)),
      readComplete(eventName("readCompleteEvent", slot)),
      writeComplete(eventName("writeCompleteEvent", slot)),
      readCancel(eventName("readCancelEvent", slot)) {}

void SlotEvents::resetAll() {
    for (plat::Event* e : {&rxFrame, &rxAckNak, &rxOther, &readComplete, &writeComplete, &readCancel})
        e->reset();
}

Slot::Slot(unsigned slotIndex) : index(slotIndex), events(slotIndex) {}

Slot& SlotAt(size_t i) {
    // Built on first use, so the slots exist before any static initialiser of
    // a program can reach the library; never destroyed, so a receive thread
    // left running at exit never meets a dead slot.
    static auto* slots = new std::array<Slot, kSlotCount>(makeSlots(std::make_index_sequence<kSlotCount>{}));
    return (*slots)[i];
}

Slot* SlotOf(uint32_t handle) {
    return HasHandleTag(handle) ? SlotOfBits(handle) : nullptr;
}

Slot* SlotOfBits(uint32_t value) {
    const uint32_t slot = SlotBits(value);
    return slot < kSlotCount ? &SlotAt(slot) : nullptr;
}

void StoreLastError(uint32_t handle, uint16_t error) {
    if (Slot* slot = SlotOf(handle))
        slot->lastError.store(error);
}

} // namespace cfc
