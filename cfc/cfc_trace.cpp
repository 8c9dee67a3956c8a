#include "cfc_trace.h"

#include "cfc_clock.h"

#include "plat/append_file.h"
#include "plat/clock.h"
#include "plat/system_error.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace cfc {

namespace {

std::atomic<bool> g_traceFile{false};
// Set when CFC_TRACE=1 asked for the file: its user expects one, so a file
// that cannot be written is worth a word on standard error, once.
std::atomic<bool> g_askedByEnvironment{false};
std::atomic<bool> g_failureReported{false};
std::atomic<TraceSink> g_sink{nullptr};

constexpr const char* kTraceDir = "tracefiles";
constexpr const char* kTraceFile = "tracefile.txt";

// Lines longer than this are cut; the library's own texts stay far below.
constexpr size_t kLineSize = 1024;

[[maybe_unused]] const bool g_fromEnvironment = (TraceSwitchFromEnvironment(), true);

void deliver(uint32_t testCaseHandle, const char* text)
{
    TraceSink sink = g_sink.load(std::memory_order_acquire);
    if (testCaseHandle != 0 && sink != nullptr)
        sink(testCaseHandle, text);
    else
        TraceToFile(text);
}

// The label that starts every dump line: "(CFC )   NN:    ".
int dumpLabel(char* line, size_t size, int index, int digits)
{
    return std::snprintf(line, size, "(CFC )   %0*d:    ", digits, index);
}

template <typename T>
void traceArray(const TraceChannel& trace, uint16_t level, const char* header, const T* values,
                int32_t count, const char* itemFormat, int perLine)
{
    if (!trace.passes(level))
        return;
    trace.line(level, header);
    if (values == nullptr)
        count = 0;
    char line[256];
    int used = dumpLabel(line, sizeof line, 0, 2);
    for (int32_t i = 0; i < count; ++i) {
        const int room = static_cast<int>(sizeof line) - used;
        if (room > 1) {
            const int n = std::snprintf(line + used, static_cast<size_t>(room), itemFormat,
                                        static_cast<unsigned>(values[i]));
            used += n < room ? n : room - 1;
        }
        if ((i + 1) % perLine == 0) {
            trace.line(level, line);
            used = dumpLabel(line, sizeof line, i + 1, 2);
        }
    }
    trace.line(level, line);
}

void reportUnwritableFile(int error)
{
    if (!g_askedByEnvironment.load(std::memory_order_relaxed) || g_failureReported.exchange(true))
        return;
    std::fprintf(stderr, "cfc: CFC_TRACE=1, but %s/%s cannot be written: %s\n", kTraceDir,
                 kTraceFile, plat::systemErrorText(error).c_str());
}

} // namespace

void TraceChannel::setLevel(uint16_t level)
{
    level_.store(level, std::memory_order_relaxed);
    levelSet_.store(true, std::memory_order_relaxed);
}

void TraceChannel::setDefaultLevel()
{
    if (!levelSet_.load(std::memory_order_relaxed))
        level_.store(kDefaultTraceLevel, std::memory_order_relaxed);
}

void TraceChannel::line(uint16_t level, const char* text) const
{
    if (text == nullptr || !passes(level))
        return;
    std::lock_guard<std::mutex> hold(lock_);
    deliver(testCaseHandle(), text);
}

void TraceChannel::direct(const char* text) const
{
    deliver(testCaseHandle(), text);
}

void SetTraceSink(TraceSink sink)
{
    g_sink.store(sink, std::memory_order_release);
}
bool TraceSinkBound()
{
    return g_sink.load(std::memory_order_acquire) != nullptr;
}

bool TraceFileEnabled()
{
    return g_traceFile.load(std::memory_order_relaxed);
}
void SetTraceFileEnabled(bool on)
{
    g_traceFile.store(on, std::memory_order_relaxed);
}

void TraceSwitchFromEnvironment()
{
    const char* value = std::getenv("CFC_TRACE");
    if (value != nullptr && std::strcmp(value, "1") == 0) {
        g_traceFile.store(true, std::memory_order_relaxed);
        g_askedByEnvironment.store(true, std::memory_order_relaxed);
    }
}

void TraceLine(const TraceChannel& trace, uint16_t level, const char* text)
{
    trace.line(level, text);
}

void TraceLineF(const TraceChannel& trace, uint16_t level, const char* format, ...)
{
    if (!trace.passes(level))
        return;
    char text[kLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    trace.line(level, text);
}

void OpTrace::emit(uint16_t level, const char* separator, const char* format, va_list args) const
{
    char text[kLineSize];
    const int head = std::snprintf(text, sizeof text, "%s %s%s", prefix_, operation_, separator);
    if (head > 0 && static_cast<size_t>(head) < sizeof text)
        std::vsnprintf(text + head, sizeof text - static_cast<size_t>(head), format, args);
    trace_.line(level, text);
}

void OpTrace::step(uint16_t level, const char* format, ...) const
{
    if (!trace_.passes(level))
        return;
    va_list args;
    va_start(args, format);
    emit(level, ": ", format, args);
    va_end(args);
}

void OpTrace::call(uint16_t level, const char* format, ...) const
{
    if (!trace_.passes(level))
        return;
    va_list args;
    va_start(args, format);
    emit(level, "", format, args);
    va_end(args);
}

void OpTrace::fails(uint16_t level, const char* what, int error) const
{
    step(level, "%s fails with error %d", what, error);
}

void OpTrace::ok(uint16_t level) const
{
    step(level, "O.K.");
}

void TraceDirect(uint32_t testCaseHandle, const char* text)
{
    deliver(testCaseHandle, text);
}

void TraceToFile(const char* text)
{
    if (!TraceFileEnabled() || text == nullptr)
        return;
    const int savedError = plat::lastSystemError();
    const uint32_t ms = ElapsedMsSinceStart();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%04u.%03u] ", ms / 1000, ms % 1000);
    std::string line = stamp;
    line += text;
    line += '\n';
    if (const int error = plat::appendToFileInDir(kTraceDir, kTraceFile, line); error != 0)
        reportUnwritableFile(error);
    plat::setLastSystemError(savedError);
}

void TraceBytes(const TraceChannel& trace, uint16_t level, const char* header,
                const uint8_t* values, int32_t count)
{
    traceArray(trace, level, header, values, count, "0x%02x ", 8);
}

void TraceWords(const TraceChannel& trace, uint16_t level, const char* header,
                const uint16_t* values, int32_t count)
{
    traceArray(trace, level, header, values, count, "0x%04x ", 4);
}

void TraceDwords(const TraceChannel& trace, uint16_t level, const char* header,
                 const uint32_t* values, int32_t count)
{
    traceArray(trace, level, header, values, count, "0x%08x ", 4);
}

} // namespace cfc
