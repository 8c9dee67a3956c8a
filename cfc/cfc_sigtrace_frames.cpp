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

constexpr const char* kRecordFile = "cfctrace/cfc%03d.flg";
constexpr const char* kLogFile = "cfctrace/cfclog%03d.txt";
// Offsets of the two length fields in a record header.
constexpr long kRecordSizeAt = 4;
constexpr long kSignalLengthAt = 22;

// Open for appending; the directory is not made, so without it the signal
// trace stays off the disk.
std::FILE* openTraceFile(const char* pattern, int32_t suffix, const char* mode = "ab+")
{
    char name[64];
    std::snprintf(name, sizeof name, pattern, suffix);
    return std::fopen(name, mode);
}

void putU16At(std::FILE* file, long at, uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    if (std::fseek(file, at, SEEK_SET) == 0)
        std::fwrite(bytes, 1, sizeof bytes, file);
}

} // namespace

void SignalTrace::signalFrame(const uint8_t* frameData, uint16_t length, bool continues)
{
    const size_t dataOffset = continues ? kNextDataOffset : kFirstDataOffset;
    // A first frame without its whole header has no signal to describe.
    if (frameData == nullptr || length < dataOffset)
        return;
    if (!continues)
        endRecord();
    const int32_t number = suffix.load();
    std::FILE* record = openTraceFile(kRecordFile, number);
    std::FILE* log = openTraceFile(kLogFile, number);
    if (!continues) {
        const SignalHeader header = headerOf(frameData);
        if (log != nullptr)
            writeLogLine(log, header);
        if (record != nullptr && std::fseek(record, 0, SEEK_END) == 0) {
            record_ = {std::ftell(record), number, header.length, 0};
            writeRecordHeader(record, header);
        }
    }
    if (record != nullptr) {
        const size_t data = length - dataOffset;
        record_.written += std::fwrite(frameData + dataOffset, 1, data, record);
        std::fclose(record);
    }
    if (log != nullptr)
        std::fclose(log);
}

void SignalTrace::endSignal()
{
    endRecord();
}

void SignalTrace::endRecord()
{
    const OpenRecord record = record_;
    record_ = {};
    if (record.headerAt < 0 || record.written == record.declared ||
        record.written > 0xFFFF - kRecordHeaderExtra)
        return;
    std::FILE* file = openTraceFile(kRecordFile, record.suffix, "rb+");
    if (file == nullptr)
        return;
    const auto written = static_cast<uint16_t>(record.written);
    putU16At(file, record.headerAt + kRecordSizeAt,
             static_cast<uint16_t>(written + kRecordHeaderExtra));
    putU16At(file, record.headerAt + kSignalLengthAt, written);
    std::fclose(file);
}

} // namespace cfc
