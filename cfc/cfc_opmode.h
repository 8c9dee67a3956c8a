// Operation modes of the module's firmware: the switch that every mode
// initialisation and the public mode operations share.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// Reads the module's operation mode, sets `mode` when it differs (a running
// test mode is finished first) and reads it back. 1 when the module reports
// `mode` at the end, else 0; a failing call's result is the last error.
int32_t SwitchTargetToOperationMode(Connection& connection, uint8_t mode);

} // namespace cfc
