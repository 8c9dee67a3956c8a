// Rules about line settings that every backend (and the in-memory line) shares:
// what is refused outright, where the modem lines sit, and how long characters
// take on the wire.
#pragma once

#include "plat/serial.h"

#include <chrono>
#include <cstddef>

namespace plat::detail {

// errno-style reason to refuse settings no port can honour; 0 when acceptable.
int checkLineSettings(const LineSettings& settings);

// Whether flow control hands DTR or RTS to the driver; the levels in the
// settings then wait until it gives the line back.
bool driverOwnsDtr(const LineSettings& settings);
bool driverOwnsRts(const LineSettings& settings);

// Level DTR or RTS rests at under these settings. A line the driver owns is
// raised: the driver drops it only while its buffer is full.
bool idleDtr(const LineSettings& settings);
bool idleRts(const LineSettings& settings);

std::chrono::nanoseconds characterTime(const LineSettings& settings);
std::chrono::nanoseconds wireTime(const LineSettings& settings, size_t bytes);

} // namespace plat::detail
