// The switch of the module's serial interface to EMMI: boot, leave alone or
// "at^sqwe=1", whichever the serial mode found asks for.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// Brings the module's serial interface into EMMI: boots a module that seems
// off (through its bootloader into service mode when `bootServiceMode` is
// not 0, else by a plain ignition pulse), leaves a module in EMMI alone and
// sends "at^sqwe=1" to one in AT mode. 1 when the module speaks EMMI.
// The first probe goes AT first here and EMMI first in the ...EmmiFirst
// entry point, for a module that is expected to speak EMMI already.
int32_t SwitchSerialToEMMIMode(Connection& connection, uint8_t bootServiceMode);
int32_t SwitchSerialToEMMIModeEmmiFirst(Connection& connection, uint8_t bootServiceMode);

} // namespace cfc
