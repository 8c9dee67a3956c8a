// Rules about line settings that every backend (and the in-memory line) shares:
// what is refused outright, which level a line-control mode drives, and how
// long characters take on the wire.
#pragma once

#include "plat/serial.h"

#include <chrono>
#include <cstddef>

namespace plat::detail {

// errno-style reason to refuse settings no port can honour; 0 when acceptable.
int checkLineSettings(const LineSettings& settings);

// Level a control mode holds the line at while idle. Handshake lines are raised
// (the driver drops them only when its buffer fills); Toggle rests low.
bool idleLevel(LineControl control);

// After DTR or RTS was driven by hand, record the level in the control mode so
// that a read-modify-write of the settings keeps the line where it is. Modes
// the driver owns (Handshake, Toggle) are left alone.
void noteManualLevel(LineControl& control, bool high);

std::chrono::nanoseconds characterTime(const LineSettings& settings);
std::chrono::nanoseconds wireTime(const LineSettings& settings, size_t bytes);

} // namespace plat::detail
