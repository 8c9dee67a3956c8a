// Signal trace of the module: its settings per connection and the steps the
// connection takes for it at open and close.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cfc {

// What the signal trace of a slot reports: whole bases, single signals added
// and single signals taken out. Filled only by the mode configuration on the
// caller's thread, and read there.
struct SignalTraceLists {
    static constexpr size_t kMaxBases = 64;
    static constexpr size_t kMaxSignals = 128;
    std::array<uint32_t, kMaxBases> bases{};
    uint16_t baseCount = 0;
    std::array<uint32_t, kMaxSignals> added{};
    uint16_t addedCount = 0;
    std::array<uint32_t, kMaxSignals> removed{};
    uint16_t removedCount = 0;
};

// Per-slot signal-trace settings as read at the last open. They are read at
// open after the receive thread has started, and that thread writes the
// signal frames with them, hence atomics.
struct SignalTraceSettings {
    std::atomic<int32_t> enable{0};
    std::atomic<int32_t> suffix{0};
    SignalTraceLists lists;
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
// Loads the signal-trace configuration of an operation mode ("ServiceMode",
// "NormalMode", "TestMode", "AirplaneMode") into the slot's lists and sends
// the module its mask. The lists are emptied first, whether the signal trace
// is on or not.
void LoadSignalTraceConfig(uint32_t handle, const char* modeName);
// Bases plus added signals in the slot's lists: what a module with the signal
// trace on has been asked to report beyond nothing.
uint32_t SignalTraceRequestCount(uint32_t handle);
// Receive thread, for every signal-trace frame while the signal trace is
// enabled: `frameData` holds the frame's `length` data bytes (type and
// segment number first). `continues` is false for the first frame of a
// signal, which is at least as long as the signal header; a following frame
// may be as short as two bytes.
void WriteSignalTrace(uint32_t handle, const uint8_t* frameData, uint16_t length, bool continues);

} // namespace cfc
