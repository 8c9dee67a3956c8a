// Signal-trace configuration per operation mode.
#include "cfc_sigtrace.h"

namespace cfc {

void LoadSignalTraceConfig(SignalTrace& signals, const char* /*modeName*/)
{
    // Entries of an earlier mode never carry over into this one.
    SignalTraceLists& lists = signals.lists;
    lists.baseCount = 0;
    lists.addedCount = 0;
    lists.removedCount = 0;
    // Reading the mode's sections and sending the mask are not built yet: with
    // empty lists the module is asked for nothing, which is what it reports
    // by default.
}

uint32_t SignalTraceRequestCount(const SignalTrace& signals)
{
    return static_cast<uint32_t>(signals.lists.baseCount) + signals.lists.addedCount;
}

} // namespace cfc
