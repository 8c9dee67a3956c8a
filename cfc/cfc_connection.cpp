// The table of connections, one per slot, and the checked ways from a handle
// to a connection.
#include "cfc_connection.h"

#include <array>
#include <utility>

namespace cfc {

namespace {

template <size_t... I>
std::array<Connection, sizeof...(I)>* makeConnections(std::index_sequence<I...>)
{
    return new std::array<Connection, sizeof...(I)>{Connection(I)...};
}

} // namespace

Connection::Connection(unsigned slotIndex) : slot(slotIndex)
{
    frames.connect(raw);
    messages.connect(signals);
}

Connection& ConnectionAt(size_t i)
{
    // Built on first use, so the connections exist before any static
    // initialiser of a program can reach the library; never destroyed, so a
    // receive thread left running at exit never meets a dead connection.
    static auto* connections = makeConnections(std::make_index_sequence<kSlotCount>{});
    return (*connections)[i];
}

Connection* ConnectionOf(uint32_t handle)
{
    return HasHandleTag(handle) ? ConnectionOfBits(handle) : nullptr;
}

Connection* ConnectionOfBits(uint32_t value)
{
    const uint32_t slot = SlotBits(value);
    return slot < kSlotCount ? &ConnectionAt(slot) : nullptr;
}

} // namespace cfc
