// Signal-trace frames from the module, written to the signal-trace files.
#include "cfc_sigtrace.h"

namespace cfc {

void SignalTrace::signalFrame(const uint8_t* /*frameData*/, uint16_t /*length*/, bool /*continues*/)
{
    // The signal-trace files are not written yet; a frame is dropped as it
    // is while the signal trace is disabled.
}

} // namespace cfc
