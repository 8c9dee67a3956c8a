// The lists of what the module's signal trace reports: whole bases, single
// signals added and single signals taken out.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_sigtrace.h"
#include "cfc_trace.h"

namespace cfc {

namespace {

template <size_t N>
bool append(std::array<uint32_t, N>& list, uint16_t& count, uint32_t value)
{
    if (count >= N)
        return false;
    list[count++] = value;
    return true;
}

// These operations do not check the handle pattern; a value whose slot bits
// name no slot touches no list.
template <typename Operation>
int32_t OnSlotBits(uint32_t value, Operation&& operation)
{
    Connection* connection = ConnectionOfBits(value);
    if (connection == nullptr)
        return 0;
    if (operation(connection->signals))
        return 1;
    // A full list is a table that holds no more.
    connection->storeError(EMMIERR_BAD_ARGUMENT);
    return 0;
}

} // namespace

bool AddNimboTraceMask(SignalTrace& signals, uint32_t base)
{
    // The texts name the operations as the signal-trace tool's users know
    // them, so they stay as they are.
    TraceLineF(signals.trace(), 4, "(CFC ) WAddNimboBase(base=0x%06x)", base);
    SignalTraceLists& lists = signals.lists;
    if (append(lists.bases, lists.baseCount, base))
        return true;
    TraceLine(signals.trace(), 4, "WAddNimboTraceMask: too many bases");
    return false;
}

bool AddNimboSignal(SignalTrace& signals, uint32_t signal)
{
    TraceLineF(signals.trace(), 4, "(CFC ) WAddNimboSignal(signal=0x%x)", signal);
    SignalTraceLists& lists = signals.lists;
    if (append(lists.added, lists.addedCount, signal))
        return true;
    TraceLine(signals.trace(), 4, "WAddNimboSignal: too many bases");
    return false;
}

bool RemoveNimboSignal(SignalTrace& signals, uint32_t signal)
{
    TraceLineF(signals.trace(), 4, "(CFC ) WRemoveNimboSignal(signal=0x%x)", signal);
    SignalTraceLists& lists = signals.lists;
    if (append(lists.removed, lists.removedCount, signal))
        return true;
    TraceLine(signals.trace(), 4, "WRemoveNimboSignal: too many signals");
    return false;
}

} // namespace cfc

using namespace cfc;

int32_t WAddNimboTraceMask(uint32_t handle, uint32_t base)
{
    return OnSlotBits(handle, [&](SignalTrace& s) { return AddNimboTraceMask(s, base); });
}

int32_t WAddNimboSignal(uint32_t handle, uint32_t signal)
{
    return OnSlotBits(handle, [&](SignalTrace& s) { return AddNimboSignal(s, signal); });
}

int32_t WRemoveNimboSignal(uint32_t handle, uint32_t signal)
{
    return OnSlotBits(handle, [&](SignalTrace& s) { return RemoveNimboSignal(s, signal); });
}
