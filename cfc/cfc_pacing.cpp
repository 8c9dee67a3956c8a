#include "cfc_pacing.h"

#include "cfc_clock.h"
#include "cfc_intern.h"
#include "cfc_trace.h"

#include "plat/clock.h"

#include <bitset>

namespace cfc {

namespace {

// The slots whose pacing lock this thread took in a prolog, so that its
// epilog releases exactly those, even when the workaround was switched in
// between.
thread_local std::bitset<kSlotCount> t_pacingHeld;

} // namespace

void SendBlockProlog(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    RawRxState& raw = slot->raw;
    if (raw.delayWorkaround.load(std::memory_order_relaxed) == 0)
        return;
    raw.pacingLock.lock();
    t_pacingHeld.set(slot->index);

    const uint64_t gap = CountsPer10Ms();
    const uint64_t last = raw.lastBlockTime.load(std::memory_order_relaxed);
    // Unsigned differences stay right across a wrap of the counter.
    const uint64_t elapsed = plat::counter() - last;
    if (elapsed >= gap)
        return;
    const uint64_t perMs = CountsPerMs();
    TraceLineF(handle, 9, "(CFC ) SendBlockProlog: delay %d msecs to avoid race condition in module...",
               static_cast<int>(perMs != 0 ? (gap - elapsed) / perMs : 0));
    // A busy wait on purpose: a sleep on this system may last far longer than
    // the few milliseconds that are missing.
    while (plat::counter() - last < gap) {
    }
}

void SendBlockEpilog(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    RawRxState& raw = slot->raw;
    const bool held = t_pacingHeld.test(slot->index);
    if (held || raw.delayWorkaround.load(std::memory_order_relaxed) != 0)
        raw.lastBlockTime.store(plat::counter(), std::memory_order_relaxed);
    if (held) {
        t_pacingHeld.reset(slot->index);
        raw.pacingLock.unlock();
    }
}

} // namespace cfc
