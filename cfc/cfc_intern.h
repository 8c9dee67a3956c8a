// Per-connection state: one Slot per connection slot, in a static table that
// lives as long as the process, and the checked ways from a handle to it.
#pragma once

#include "cfc_rawrx.h"
#include "cfc_sigtrace.h"
#include "cfc_trace.h"
#include "cfc_types.h"
#include "cfc_version.h"
#include "gwcoml1.h"
#include "gwcoml2.h"
#include "gwcoml3.h"

#include "plat/event.h"
#include "plat/thread.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace cfc {

// The six manual-reset events of a connection, named after their slot.
struct SlotEvents {
    explicit SlotEvents(unsigned slot);
    void resetAll();

    plat::Event rxFrame;
    plat::Event rxAckNak;
    plat::Event rxOther;
    plat::Event readComplete;
    plat::Event writeComplete;
    plat::Event readCancel;
};

// Facts about the module cached per connection and invalidated at every open.
struct TargetFacts {
    uint32_t storedCalibrationItems = 0;
    std::array<uint8_t, 16> gmskIqOffsets{};
    std::array<int16_t, 2> autoCalIqOffsets{};
    // The fetched flag and the mobile software version number live here too.
    TargetVersionInfo version;
};

inline constexpr uint8_t kInvalidIqOffset = 127;

struct Slot {
    explicit Slot(unsigned slotIndex);
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    const unsigned index;
    bool isOpen() const { return l1.port != nullptr; }

    L1State l1;
    L2State l2;
    L3State l3;
    RawRxState raw;
    TraceState trace;
    SlotEvents events;

    std::atomic<uint16_t> lastError{0};
    plat::Thread rxThread;
    // Asks the receive thread to end after its current pass.
    std::atomic<bool> stop{false};
    // While on, the receive thread hands every byte to the raw buffer.
    std::atomic<uint8_t> rawByteMode{0};

    TargetFacts target;
    SignalTraceSettings sigtrace;
};

// The slot of index i; i must be below kSlotCount.
Slot& SlotAt(size_t i);
// The slot of a connection handle, or null when the value fails the handle
// pattern or names a slot outside the table.
Slot* SlotOf(uint32_t handle);
// The slot named by bits 12 to 19 whatever the rest of the value, or null
// outside the table; for the operations that do not check the pattern.
Slot* SlotOfBits(uint32_t value);
// Keeps `error` as the connection's last error; a value that is no
// connection handle has none to keep it in.
void StoreLastError(uint32_t handle, uint16_t error);

} // namespace cfc
