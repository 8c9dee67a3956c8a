// A connection: one COM port with a module behind it, composed of its
// layers. The C interface checks a handle once and turns it into a
// connection; nothing below looks a slot up again.
#pragma once

#include "cfc_calibration_store.h"
#include "cfc_pacing.h"
#include "cfc_rawrx.h"
#include "cfc_sigtrace.h"
#include "cfc_target.h"
#include "cfc_trace.h"
#include "cfc_types.h"
#include "emmierr.h"
#include "gwcoml1.h"
#include "gwcoml2.h"
#include "gwcoml3.h"

#include <atomic>
#include <cstdint>

namespace cfc {

class Connection {
public:
    explicit Connection(unsigned slotIndex);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const unsigned slot;
    uint32_t handle() const { return HandleForSlot(slot); }
    bool isOpen() const { return serial.isOpen(); }

    uint16_t lastError() const { return lastError_.load(); }
    // The operating system's error behind the last error, 0 when there is none.
    int lastSystemError() const { return systemError_.load(); }
    // Keeps the code of a failure for WGetLastError; success does not clear it.
    // A system failure keeps the port's system error with it, taken now: the
    // next refusal would overwrite the port's.
    void storeError(uint16_t error)
    {
        storeError(error, error == EMMIERR_SYSTEM ? serial.lastSystemError() : 0);
    }
    void storeError(uint16_t error, int systemError)
    {
        systemError_.store(systemError);
        lastError_.store(error);
    }

    // Declared in the order they are built: each layer is wired to those
    // below it.
    TraceChannel trace;
    SerialLink serial;
    SendPacer pacer{serial, trace};
    FrameLink frames{serial, pacer, trace};
    RawInput raw{serial, trace};
    MessageLink messages{frames, serial, trace};
    SignalTrace signals{trace, messages};
    TargetFacts target;
    CalibrationStore calibration;

private:
    std::atomic<uint16_t> lastError_{0};
    std::atomic<int> systemError_{0};
};

// The connection of slot i; i must be below kSlotCount. The table lives as
// long as the process.
Connection& ConnectionAt(size_t i);
// The connection of a handle, or null when the value fails the handle
// pattern or names a slot outside the table.
Connection* ConnectionOf(uint32_t handle);
// The connection named by bits 12 to 19 whatever the rest of the value, or
// null outside the table; for the operations that do not check the pattern.
Connection* ConnectionOfBits(uint32_t value);

// The C boundary of a public operation: `operation` runs on the connection
// of a handle that passes the check; any other value gets `refused` and
// nothing else happens.
template <typename Result, typename Operation>
Result OnConnection(uint32_t handle, Result refused, Operation&& operation)
{
    Connection* connection = ConnectionOf(handle);
    return connection != nullptr ? operation(*connection) : refused;
}

} // namespace cfc
