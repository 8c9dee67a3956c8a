// Trace of every layer: the level filter per connection, the trace file and
// the seam where a test system's trace sink takes the lines instead.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cfc {

// Per-slot trace state. Levels are read by the receive thread and may be set
// from any thread at any time.
struct TraceState {
    std::atomic<uint16_t> level{0};
    std::atomic<bool> levelSet{false};
    // tHandle of WComOpen while the connection is open; 0 = none.
    std::atomic<uint32_t> testCaseHandle{0};
    // Keeps the lines of one connection whole in the file or the sink.
    std::mutex lock;
};

inline constexpr uint16_t kDefaultTraceLevel = 9;

// A test system's trace sink: (test-case handle, text); its result is ignored.
using TraceSink = int (*)(uint32_t testCaseHandle, const char* text);
void SetTraceSink(TraceSink sink);
bool TraceSinkBound();

// Delivers one text of a connection, filtered by the slot's level.
void TraceLine(uint32_t handle, uint16_t level, const char* text);
// TraceLine with printf formatting; formats only when the level passes.
void TraceLineF(uint32_t handle, uint16_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Appends one time-stamped line to "tracefiles/tracefile.txt" while the
// trace file switch is on. Leaves the caller's last system error as it was.
void TraceToFile(const char* text);
// Delivery without level filter and without the trace lock, for the texts of
// WComOpen before the connection exists: to the sink when the connection has
// a test-case handle and a sink is bound, else to the file.
void TraceDirect(uint32_t testCaseHandle, const char* text);

// Hexadecimal dumps: the header, then lines of 8 bytes, 4 words or 4 dwords.
void TraceBytes(uint32_t handle, uint16_t level, const char* header, const uint8_t* values,
                int32_t count);
void TraceWords(uint32_t handle, uint16_t level, const char* header, const uint16_t* values,
                int32_t count);
void TraceDwords(uint32_t handle, uint16_t level, const char* header, const uint32_t* values,
                 int32_t count);

bool TraceFileEnabled();
// Switches the trace file on when CFC_TRACE=1 is in the environment; the
// library does this once at start so any program's failures can be traced.
void TraceSwitchFromEnvironment();

} // namespace cfc
