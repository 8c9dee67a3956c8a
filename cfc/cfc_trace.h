// Trace of every layer: the level filter per connection, the trace file and
// the seam where a test system's trace sink takes the lines instead.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>

// The trace formats with the C99 printf of the C library, which MinGW's
// C++ library selects too; its checks must follow that one, not the older
// one of the system's C runtime.
#ifdef __MINGW32__
#define CFC_PRINTF_FORMAT(formatIndex, firstArg)                                                   \
    __attribute__((format(gnu_printf, formatIndex, firstArg)))
#else
#define CFC_PRINTF_FORMAT(formatIndex, firstArg)                                                   \
    __attribute__((format(printf, formatIndex, firstArg)))
#endif

namespace cfc {

inline constexpr uint16_t kDefaultTraceLevel = 9;

// One connection's way into the trace. Levels are read by the receive thread
// and may be set from any thread at any time.
class TraceChannel {
public:
    uint16_t level() const { return level_.load(std::memory_order_relaxed); }
    bool passes(uint16_t level) const { return this->level() >= level; }
    // An explicit level survives the default that the first open sets.
    void setLevel(uint16_t level);
    void setDefaultLevel();

    // tHandle of WComOpen while the connection is open; 0 = none.
    uint32_t testCaseHandle() const { return testCaseHandle_.load(std::memory_order_relaxed); }
    void setTestCaseHandle(uint32_t handle)
    {
        testCaseHandle_.store(handle, std::memory_order_relaxed);
    }

    // Delivers `text` when `level` passes, one line at a time per connection.
    void line(uint16_t level, const char* text) const;
    // Without level filter and lock: the texts of an open before the
    // connection's trace path is ready.
    void direct(const char* text) const;

private:
    std::atomic<uint16_t> level_{0};
    std::atomic<bool> levelSet_{false};
    std::atomic<uint32_t> testCaseHandle_{0};
    // Keeps the lines of one connection whole in the file or the sink.
    mutable std::mutex lock_;
};

// A test system's trace sink: (test-case handle, text); its result is ignored.
using TraceSink = int (*)(uint32_t testCaseHandle, const char* text);
void SetTraceSink(TraceSink sink);
bool TraceSinkBound();

void TraceLine(const TraceChannel& trace, uint16_t level, const char* text);
// TraceLine with printf formatting; formats only when the level passes.
void TraceLineF(const TraceChannel& trace, uint16_t level, const char* format, ...)
    CFC_PRINTF_FORMAT(3, 4);

// The lines of one operation: each starts with the layer's prefix and the
// operation's name, and is formatted only when its level passes.
class OpTrace {
public:
    OpTrace(const TraceChannel& trace, const char* prefix, const char* operation)
        : trace_(trace), prefix_(prefix), operation_(operation)
    {
    }

    // "prefix operation: text".
    void step(uint16_t level, const char* format, ...) const CFC_PRINTF_FORMAT(3, 4);
    // "prefix operation" followed directly by the text, e.g. its arguments.
    void call(uint16_t level, const char* format, ...) const CFC_PRINTF_FORMAT(3, 4);
    // "prefix operation: what fails with error N".
    void fails(uint16_t level, const char* what, int error) const;
    // "prefix operation: O.K.".
    void ok(uint16_t level) const;

    const TraceChannel& channel() const { return trace_; }

private:
    void emit(uint16_t level, const char* separator, const char* format, va_list args) const;

    const TraceChannel& trace_;
    const char* prefix_;
    const char* operation_;
};

// Appends one time-stamped line to "tracefiles/tracefile.txt" while the
// trace file switch is on. Leaves the caller's last system error as it was.
void TraceToFile(const char* text);
// To the sink when `testCaseHandle` is not 0 and a sink is bound, else to
// the file.
void TraceDirect(uint32_t testCaseHandle, const char* text);

// Hexadecimal dumps: the header, then lines of 8 bytes, 4 words or 4 dwords.
void TraceBytes(const TraceChannel& trace, uint16_t level, const char* header,
                const uint8_t* values, int32_t count);
void TraceWords(const TraceChannel& trace, uint16_t level, const char* header,
                const uint16_t* values, int32_t count);
void TraceDwords(const TraceChannel& trace, uint16_t level, const char* header,
                 const uint32_t* values, int32_t count);

bool TraceFileEnabled();
void SetTraceFileEnabled(bool on);
// Switches the trace file on when CFC_TRACE=1 is in the environment; the
// library does this once at start so any program's failures can be traced.
void TraceSwitchFromEnvironment();

} // namespace cfc
