// Signal trace of the module: its settings per connection and the steps the
// connection takes for it at open and close.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace cfc {

// Per-slot signal-trace settings as read at the last open. They are read at
// open after the receive thread has started, and that thread writes the
// signal frames with them, hence atomics.
struct SignalTraceSettings {
    std::atomic<int32_t> enable{0};
    std::atomic<int32_t> suffix{0};
};

// The settings file: $CFC_TRACE_INI, else cfctrace.ini in the user's cfc
// configuration directory.
std::string SignalTraceIniPath();
// Reads "Enable" and, when it is on, takes "Suffix" as this connection's file
// number and advances it in the file (after 999 it starts again at 0).
void ReadSignalTraceSettings(uint32_t handle);
bool SignalTraceEnabled(uint32_t handle);
// Called by WComClose before the receive thread stops while the signal trace
// is enabled: the place for switching the module's signal trace off.
void FinishSignalTrace(uint32_t handle);
// Receive thread, for every signal-trace frame while the signal trace is
// enabled: `frameData` holds the frame's `length` data bytes (type and
// segment number first). `continues` is false for the first frame of a
// signal, which is at least as long as the signal header; a following frame
// may be as short as two bytes.
void WriteSignalTrace(uint32_t handle, const uint8_t* frameData, uint16_t length, bool continues);

} // namespace cfc
