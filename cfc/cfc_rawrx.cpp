#include "cfc_rawrx.h"

#include "cfc_intern.h"

namespace cfc {

void FlushBuffer(uint32_t /*handle*/, uint8_t* /*buffer*/, uint16_t& count) {
    // The dump of the skip buffer and the scan for "EXIT" markers arrive with
    // the raw block exchange; until then flushing only empties the buffer.
    count = 0;
}

void ResetExitRecords(RawRxState& raw) {
    // Another connection's receive thread may be parsing a marker right now.
    std::lock_guard<std::mutex> hold(raw.lock);
    raw.exitCount = 0;
    raw.exitRecords = {};
}

} // namespace cfc
