// The records of a signal-trace record file (cfcNNN.flg): a 28-byte header a
// signal, low byte first (u32 50, u16 data length + 22, u32 source, u32
// destination, u32 frame number, u32 time, u16 data length, u32 signal
// identifier), then the signal's data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cfctool {

struct TraceRecord {
    size_t offset = 0; // of its header in the file
    uint32_t signal = 0;
    uint32_t source = 0;
    uint32_t destination = 0;
    uint32_t frameNumber = 0;
    uint32_t time = 0;
    std::vector<uint8_t> data;
};

struct TraceFile {
    std::vector<TraceRecord> records;
    // Why reading stopped before the end of the file: a record that breaks
    // off, or bytes that are no record header. Empty when all was read.
    std::string problem;
};

TraceFile decodeTraceRecords(std::span<const uint8_t> bytes);

enum class TraceFormat { Text, Csv, Json };

// One line a record (CSV with a heading line), or the JSON array of them.
std::string formatTraceRecords(const TraceFile& file, TraceFormat format);

} // namespace cfctool
