#include "cfc_trace.h"

#include "cfc_clock.h"
#include "cfc_intern.h"
#include "cfc.h"

#include "plat/clock.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cfc {

namespace {

std::atomic<bool> g_traceFile{false};
std::atomic<TraceSink> g_sink{nullptr};

constexpr const char* kTraceDir = "tracefiles";
constexpr const char* kTraceFile = "tracefiles/tracefile.txt";

// Lines longer than this are cut; the library's own texts stay far below.
constexpr size_t kLineSize = 1024;

[[maybe_unused]] const bool g_fromEnvironment = (TraceSwitchFromEnvironment(), true);

void deliver(uint32_t testCaseHandle, const char* text) {
    TraceSink sink = g_sink.load(std::memory_order_acquire);
    if (testCaseHandle != 0 && sink != nullptr)
        sink(testCaseHandle, text);
    else
        TraceToFile(text);
}

// The label that starts every dump line: "(CFC )   NN:    ".
int dumpLabel(char* line, size_t size, int index, int digits) {
    return std::snprintf(line, size, "(CFC )   %0*d:    ", digits, index);
}

template <typename T>
void traceArray(uint32_t handle, uint16_t level, const char* header, const T* values,
                int32_t count, const char* itemFormat, int perLine) {
    if (!HasHandleTag(handle))
        return;
    TraceLine(handle, level, header);
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
            TraceLine(handle, level, line);
            used = dumpLabel(line, sizeof line, i + 1, 2);
        }
    }
    TraceLine(handle, level, line);
}

} // namespace

void SetTraceSink(TraceSink sink) { g_sink.store(sink, std::memory_order_release); }
bool TraceSinkBound() { return g_sink.load(std::memory_order_acquire) != nullptr; }

bool TraceFileEnabled() { return g_traceFile.load(std::memory_order_relaxed); }

void TraceSwitchFromEnvironment() {
    const char* value = std::getenv("CFC_TRACE");
    if (value != nullptr && std::strcmp(value, "1") == 0)
        g_traceFile.store(true, std::memory_order_relaxed);
}

void TraceLine(uint32_t handle, uint16_t level, const char* text) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || text == nullptr)
        return;
    if (slot->trace.level.load(std::memory_order_relaxed) < level)
        return;
    std::lock_guard<std::mutex> hold(slot->trace.lock);
    deliver(slot->trace.testCaseHandle.load(std::memory_order_relaxed), text);
}

void TraceLineF(uint32_t handle, uint16_t level, const char* format, ...) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || slot->trace.level.load(std::memory_order_relaxed) < level)
        return;
    char text[kLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TraceLine(handle, level, text);
}

void TraceDirect(uint32_t testCaseHandle, const char* text) { deliver(testCaseHandle, text); }

void TraceToFile(const char* text) {
    if (!TraceFileEnabled() || text == nullptr)
        return;
    const int savedError = plat::lastSystemError();
    const uint32_t ms = ElapsedMsSinceStart();
    std::error_code ignored;
    std::filesystem::create_directory(kTraceDir, ignored);
    if (std::FILE* file = std::fopen(kTraceFile, "a+")) {
        std::fprintf(file, "[%04u.%03u] %s\n", ms / 1000, ms % 1000, text);
        std::fclose(file);
    }
    plat::setLastSystemError(savedError);
}

void TraceBytes(uint32_t handle, uint16_t level, const char* header, const uint8_t* values,
                int32_t count) {
    traceArray(handle, level, header, values, count, "0x%02x ", 8);
}

void TraceWords(uint32_t handle, uint16_t level, const char* header, const uint16_t* values,
                int32_t count) {
    traceArray(handle, level, header, values, count, "0x%04x ", 4);
}

void TraceDwords(uint32_t handle, uint16_t level, const char* header, const uint32_t* values,
                 int32_t count) {
    traceArray(handle, level, header, values, count, "0x%08x ", 4);
}

} // namespace cfc

extern "C" {

void WEnableTraceFile(void) { cfc::g_traceFile.store(true, std::memory_order_relaxed); }

void WDisableTraceFile(void) { cfc::g_traceFile.store(false, std::memory_order_relaxed); }

uint16_t WGetTraceLevel(uint32_t handle) {
    const cfc::Slot* slot = cfc::SlotOfBits(handle);
    return slot != nullptr ? slot->trace.level.load(std::memory_order_relaxed) : 0;
}

uint32_t WSetTraceLevel(uint32_t handle, uint16_t level) {
    if (cfc::Slot* slot = cfc::SlotOfBits(handle)) {
        slot->trace.level.store(level, std::memory_order_relaxed);
        slot->trace.levelSet.store(true, std::memory_order_relaxed);
    }
    return handle;
}

} // extern "C"

