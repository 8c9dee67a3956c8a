// The library's time base: the high-resolution counter read at the first
// connection open, with the divisors derived from its frequency then.
#pragma once

#include <cstdint>

namespace cfc {

// Takes the start reading and the divisors; called once, by the first open.
void StartLibraryClock();
uint64_t ClockStartCount();
uint64_t CountsPer10Ms();
uint64_t CountsPerMs();
// Milliseconds since the clock start, modulo 2^32; 0 before the start.
uint32_t ElapsedMsSinceStart();

} // namespace cfc
