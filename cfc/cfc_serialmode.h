// Serial mode of the module: detection and the switch to EMMI.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// Probes the line once with the AT test string and the EMMI test string (the
// EMMI one first when `emmiFirst` is not 0) and names the serial mode found,
// one of the kTargetSerialMode values. A silent line gives Off probing AT
// first and Unknown probing EMMI first. A probe the port refuses gives
// Unknown with last error 9 stored.
uint8_t GetTargetSerialMode(Connection& connection, uint8_t emmiFirst);
// Probe (AT first) until the serial mode is one of `mask`: 1, or 0 after 100
// probes, some 25 to 40 seconds, or at once when the port refuses a probe.
int32_t WaitForTargetSerialMode(Connection& connection, uint8_t mask);
// Probe (AT first) until the serial mode is none of `mask`: 1, or 0 after
// 100 probes.
int32_t WaitForTargetSerialModeOtherThan(Connection& connection, uint8_t mask);

} // namespace cfc
