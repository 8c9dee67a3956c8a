// Switching the module on through its ignition line, the port's DTR signal:
// a plain ignition pulse, or a pulse during which the host talks to the
// module's bootloader so that the firmware comes up ready for service mode.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// Ignition with the bootloader dialogue at 57600 baud, then waits for the
// firmware to answer a probe. 1 on success. Whatever the outcome, the line
// is back at its normal settings with DTR low, unless releasing DTR itself
// failed.
int32_t ModuleBootServiceMode(Connection& connection);
// A plain ignition pulse, held until the firmware answers a probe or the
// wait gives up. 1 on success.
int32_t ModuleBootNormalMode(Connection& connection);

} // namespace cfc
