// Signal-trace configuration per operation mode.
#include "cfc_sigtrace.h"

#include "cfc_intern.h"

namespace cfc {

void LoadSignalTraceConfig(uint32_t handle, const char* /*modeName*/) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    // Entries of an earlier mode never carry over into this one.
    SignalTraceLists& lists = slot->sigtrace.lists;
    lists.baseCount = 0;
    lists.addedCount = 0;
    lists.removedCount = 0;
    // Reading the mode's sections and sending the mask are not built yet: with
    // empty lists the module is asked for nothing, which is what it reports
    // by default.
}

uint32_t SignalTraceRequestCount(uint32_t handle) {
    const Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return 0;
    return static_cast<uint32_t>(slot->sigtrace.lists.baseCount) + slot->sigtrace.lists.addedCount;
}

} // namespace cfc
