#include "cfc_clock.h"

#include "plat/clock.h"

#include <atomic>

namespace cfc {

namespace {

// Written once by the first open, read by every thread that traces.
std::atomic<uint64_t> g_start{0};
std::atomic<uint64_t> g_countsPer10Ms{0};
std::atomic<uint64_t> g_countsPerMs{0};

} // namespace

void StartLibraryClock()
{
    // The full frequency is divided, not its low 32 bits: a counter faster
    // than 4.29 GHz would otherwise give time stamps of no meaning.
    const uint64_t per10Ms = plat::counterFrequency() / 100;
    g_countsPer10Ms.store(per10Ms, std::memory_order_relaxed);
    g_countsPerMs.store(per10Ms / 10, std::memory_order_relaxed);
    g_start.store(plat::counter(), std::memory_order_relaxed);
}

uint64_t ClockStartCount()
{
    return g_start.load(std::memory_order_relaxed);
}
uint64_t CountsPer10Ms()
{
    return g_countsPer10Ms.load(std::memory_order_relaxed);
}
uint64_t CountsPerMs()
{
    return g_countsPerMs.load(std::memory_order_relaxed);
}

uint32_t ElapsedMsSinceStart()
{
    const uint64_t perMs = CountsPerMs();
    if (perMs == 0)
        return 0; // nothing opened yet: no time base
    // Unsigned subtraction gives the elapsed counts across a counter wrap.
    const uint64_t elapsed = plat::counter() - ClockStartCount();
    return static_cast<uint32_t>(elapsed / perMs);
}

} // namespace cfc
