// Public operations that only read or set a connection's state: the trace
// switches and levels, and the "EXIT" records.
#include "cfc.h"

#include "cfc_connection.h"
#include "cfc_rawrx.h"

using namespace cfc;

extern "C" {

void WEnableTraceFile(void)
{
    SetTraceFileEnabled(true);
}

void WDisableTraceFile(void)
{
    SetTraceFileEnabled(false);
}

uint16_t WGetTraceLevel(uint32_t handle)
{
    const Connection* connection = ConnectionOfBits(handle);
    return connection != nullptr ? connection->trace.level() : 0;
}

uint32_t WSetTraceLevel(uint32_t handle, uint16_t level)
{
    if (Connection* connection = ConnectionOfBits(handle))
        connection->trace.setLevel(level);
    return handle;
}

int32_t WGetExitData(uint32_t handle, uint8_t size, uint8_t* count, uint8_t* buffer)
{
    Connection* connection = ConnectionOf(handle);
    if (connection == nullptr)
        return 0;
    const OpTrace trace(connection->trace, "(CFC )", "WGetExitData");
    trace.call(4, "(size=%u)", size);
    uint8_t records = 0;
    TakeExitData(connection->raw, size, &records, buffer);
    if (count != nullptr)
        *count = records;
    trace.step(6, "count %u, O.K.", static_cast<unsigned>(records));
    return 1;
}

} // extern "C"
