// Send pacing of the delay workaround: old module firmware loses a block that
// follows the previous one too closely, so while the workaround is on every
// block to the port keeps a 10 ms gap after the one before.
#pragma once

#include <cstdint>

namespace cfc {

// Every block to the port goes out as SendBlockProlog, EmmiL1Write,
// SendBlockEpilog, both calls on the same thread. While the workaround is on
// the prolog waits out the gap and keeps the connection's other thread from
// sending until the epilog.
void SendBlockProlog(uint32_t handle);
void SendBlockEpilog(uint32_t handle);

} // namespace cfc
