// Serial mode of the module: detection and the switch to EMMI, and the
// handling of raw input that goes with it.
#pragma once

#include <cstdint>

namespace cfc {

// Discards everything received and not yet consumed: ends a pending read,
// lets the line settle, then empties the raw buffer and the receive queue.
void FlushTargetInput(uint32_t handle);
// Reads a response of `length` bytes from the raw buffer into `buffer`, which
// is first filled with kResponseFill so that missing bytes stay marked. True
// when at least the first byte came within 50 ms.
bool GetResponse(uint32_t handle, uint8_t* buffer, uint8_t length);
// Keeps the bytes of a response the caller did not use, up to the first
// missing one, in the skip buffer.
void ReturnResponseRest(uint32_t handle, const uint8_t* data, uint8_t length);

// Probes the line once with the AT test string and the EMMI test string (the
// EMMI one first when `emmiFirst` is not 0) and names the serial mode found,
// one of the kTargetSerialMode values. A silent line gives Off probing AT
// first and Unknown probing EMMI first.
uint8_t GetTargetSerialMode(uint32_t handle, uint8_t emmiFirst);
// Probe (AT first) until the serial mode is one of `mask`: 1, or 0 after 100
// probes, some 25 to 40 seconds.
int32_t WaitForTargetSerialMode(uint32_t handle, uint8_t mask);
// Probe (AT first) until the serial mode is none of `mask`: 1, or 0 after
// 100 probes.
int32_t WaitForTargetSerialModeOtherThan(uint32_t handle, uint8_t mask);

// Brings the module's serial interface into EMMI: boots a module that seems
// off (through its bootloader into service mode when `bootServiceMode` is
// not 0, else by a plain ignition pulse), leaves a module in EMMI alone and
// sends "at^sqwe=1" to one in AT mode. 1 when the module speaks EMMI.
// The first probe goes AT first here and EMMI first in the ...EmmiFirst
// entry point, for a module that is expected to speak EMMI already.
int32_t SwitchSerialToEMMIMode(uint32_t handle, uint8_t bootServiceMode);
int32_t SwitchSerialToEMMIModeEmmiFirst(uint32_t handle, uint8_t bootServiceMode);

} // namespace cfc
