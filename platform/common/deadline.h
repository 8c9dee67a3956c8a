// Waits in this layer run against a point on the steady clock, so a wait that
// is woken early and resumed never stretches its bound.
#pragma once

#include "plat/event.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace plat::detail {

using Deadline = std::chrono::steady_clock::time_point;

// kWaitForever gives a deadline that never passes.
inline Deadline deadlineAfter(uint32_t timeoutMs)
{
    if (timeoutMs == kWaitForever)
        return Deadline::max();
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

// A wait that must also notice an event without a system handle wakes in
// short slices to look at it.
inline Deadline sliceFor(Deadline deadline, bool eventWithoutHandle)
{
    constexpr auto kSlice = std::chrono::milliseconds(2);
    if (!eventWithoutHandle)
        return deadline;
    return std::min(deadline, std::chrono::steady_clock::now() + kSlice);
}

} // namespace plat::detail
