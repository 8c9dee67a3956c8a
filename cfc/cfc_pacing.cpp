#include "cfc_pacing.h"

#include "cfc_clock.h"
#include "cfc_trace.h"
#include "gwcoml1.h"

#include "plat/clock.h"

namespace cfc {

ErrorCode SendBlock(SendPacer& pacer, const uint8_t* data, uint16_t length)
{
    if (!pacer.delayWorkaround()) {
        const ErrorCode code = EmmiL1Write(pacer.serial_, data, length);
        // A workaround switched on meanwhile starts from this block.
        if (pacer.delayWorkaround())
            pacer.lastBlockTime_.store(plat::counter(), std::memory_order_relaxed);
        return code;
    }
    std::lock_guard<std::mutex> hold(pacer.lock_);
    const uint64_t gap = CountsPer10Ms();
    const uint64_t last = pacer.lastBlockTime_.load(std::memory_order_relaxed);
    // Unsigned differences stay right across a wrap of the counter.
    const uint64_t elapsed = plat::counter() - last;
    if (elapsed < gap) {
        const uint64_t perMs = CountsPerMs();
        OpTrace(pacer.trace_, "(CFC )", "SendBlockProlog")
            .step(9, "delay %d msecs to avoid race condition in module...",
                  static_cast<int>(perMs != 0 ? (gap - elapsed) / perMs : 0));
        // A busy wait on purpose: a sleep on this system may last far longer
        // than the few milliseconds that are missing.
        while (plat::counter() - last < gap) {
        }
    }
    const ErrorCode code = EmmiL1Write(pacer.serial_, data, length);
    pacer.lastBlockTime_.store(plat::counter(), std::memory_order_relaxed);
    return code;
}

} // namespace cfc
