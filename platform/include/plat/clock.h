// Time base of the library: a monotonic high-resolution counter, plain sleeps.
#pragma once

#include <cstdint>

namespace plat {

// Monotonic counter; never goes backwards, unaffected by wall-clock changes.
uint64_t counter();
// Counts of counter() per second.
uint64_t counterFrequency();

void sleepMs(uint32_t ms);
// Give the rest of the time slice to another ready thread.
void yieldThread();

// Id of the calling thread as the operating system numbers it.
uint32_t currentThreadId();

// The calling thread's last system error (errno here), saved and restored by
// code that must not disturb what a caller is about to read.
int lastSystemError();
void setLastSystemError(int error);

} // namespace plat
