// Serial mode of the module: detection and the switch to EMMI, and the
// handling of raw input that goes with it.
#pragma once

#include <cstdint>

namespace cfc {

// Discards everything received and not yet consumed: ends a pending read,
// lets the line settle, then empties the raw buffer and the receive queue.
void FlushTargetInput(uint32_t handle);

} // namespace cfc
