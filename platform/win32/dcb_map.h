// Line settings onto the Win32 device-control block and back.
#pragma once

#include "plat/serial.h"

#include <windows.h>

namespace plat::detail {

// Fills dcb from the settings: binary mode, no parity check, no error or
// null handling, the driver keeps sending after XOFF, no limits, and only
// the flow control asked for. Modem line levels are in it too: Windows sets
// them with the rest.
void toDcb(const LineSettings& settings, DCB& dcb);

// Overlays what the block says about rate, character format, flow control
// and the XON/XOFF characters; the modem line levels keep the values given
// (a level driven by hand is not in the block).
void fromDcb(const DCB& dcb, LineSettings& settings);

// True when the driver kept the rate, character format and flow control
// asked for (it may accept the block yet round part of it).
bool sameFormat(const DCB& asked, const DCB& got);

} // namespace plat::detail
