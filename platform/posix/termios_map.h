// Line settings onto termios and back.
#pragma once

#include "plat/serial.h"

#include <termios.h>

namespace plat::detail {

// Raw byte transport: no line discipline, receiver on, modem status ignored.
// A read with nothing waiting fails with EAGAIN (not 0, which then means the
// line hung up).
void makeRaw(termios& t);

// Fills t from the settings; errno-style refusal (EINVAL for a rate or flow
// control termios cannot express), 0 when done. Modem line levels are not
// part of termios.
int toTermios(const LineSettings& settings, termios& t);

// Overlays what termios says about rate, character format, flow control and
// the XON/XOFF characters; the modem line levels keep the values given.
void fromTermios(const termios& t, LineSettings& settings);

// True when the device took the rate, character format and hardware flow
// control asked for (it may accept tcsetattr yet keep part of it).
bool sameFormat(const termios& asked, const termios& got);

} // namespace plat::detail
