// Signal-trace frames from the module, written to the signal-trace files:
// a record file for the signal-trace tool and a text log, both
// numbered by the connection's suffix.
#include "cfc_sigtrace.h"

#include <cstdio>

namespace cfc {

namespace {

// Frame-data offsets of a signal's first frame.
constexpr size_t kSourceOffset = 2;
constexpr size_t kDestinationOffset = 4;
constexpr size_t kFrameNumberOffset = 6;
constexpr size_t kTimeOffset = 10;
constexpr size_t kLengthOffset = 14;
constexpr size_t kSignalIdOffset = 18;
constexpr size_t kFirstDataOffset = 22;
constexpr size_t kNextDataOffset = 2;

constexpr uint32_t kRecordTag = 50;
constexpr size_t kRecordHeaderSize = 28;
// What the record counts as its signal header beyond the data.
constexpr uint16_t kRecordHeaderExtra = 22;

uint16_t le16(const uint8_t* data, size_t at)
{
    return static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
}

uint32_t le32(const uint8_t* data, size_t at)
{
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8) |
           (static_cast<uint32_t>(data[at + 2]) << 16) |
           (static_cast<uint32_t>(data[at + 3]) << 24);
}

struct SignalHeader {
    uint32_t source;
    uint32_t destination;
    uint32_t frameNumber;
    uint32_t time;
    uint16_t length;
    uint32_t signalId;
};

SignalHeader headerOf(const uint8_t* frameData)
{
    return {le16(frameData, kSourceOffset),      le16(frameData, kDestinationOffset),
            le32(frameData, kFrameNumberOffset), le32(frameData, kTimeOffset),
            le16(frameData, kLengthOffset),      le32(frameData, kSignalIdOffset)};
}

class RecordBytes {
public:
    void u16(uint16_t v)
    {
        for (size_t i = 0; i < 2; ++i)
            bytes_[size_++] = static_cast<uint8_t>(v >> (8 * i));
    }
    void u32(uint32_t v)
    {
        for (size_t i = 0; i < 4; ++i)
            bytes_[size_++] = static_cast<uint8_t>(v >> (8 * i));
    }
    const uint8_t* data() const { return bytes_; }
    size_t size() const { return size_; }

private:
    uint8_t bytes_[kRecordHeaderSize] = {};
    size_t size_ = 0;
};

void writeRecordHeader(std::FILE* file, const SignalHeader& h)
{
    RecordBytes record;
    record.u32(kRecordTag);
    record.u16(static_cast<uint16_t>(h.length + kRecordHeaderExtra));
    record.u32(h.source);
    record.u32(h.destination);
    record.u32(h.frameNumber);
    record.u32(h.time);
    record.u16(h.length);
    record.u32(h.signalId);
    std::fwrite(record.data(), 1, record.size(), file);
}

void writeLogLine(std::FILE* file, const SignalHeader& h)
{
    std::fprintf(file, "Signal 0x%x: source 0x%x, dest 0x%x, length 0x%x, FN 0x%x, time 0x%x\r\n",
                 h.signalId, h.source, h.destination, h.length, h.frameNumber, h.time);
}

// Open for appending; the directory is not made, so without it the signal
// trace stays off the disk.
std::FILE* openTraceFile(const char* pattern, int32_t suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, pattern, suffix);
    return std::fopen(name, "ab+");
}

} // namespace

void SignalTrace::signalFrame(const uint8_t* frameData, uint16_t length, bool continues)
{
    const size_t dataOffset = continues ? kNextDataOffset : kFirstDataOffset;
    // A first frame without its whole header has no signal to describe.
    if (frameData == nullptr || length < dataOffset)
        return;
    const int32_t number = suffix.load();
    std::FILE* record = openTraceFile("cfctrace/cfc%03d.flg", number);
    std::FILE* log = openTraceFile("cfctrace/cfclog%03d.txt", number);
    if (!continues) {
        const SignalHeader header = headerOf(frameData);
        if (log != nullptr)
            writeLogLine(log, header);
        if (record != nullptr)
            writeRecordHeader(record, header);
    }
    if (record != nullptr) {
        std::fwrite(frameData + dataOffset, 1, length - dataOffset, record);
        std::fclose(record);
    }
    if (log != nullptr)
        std::fclose(log);
}

} // namespace cfc
