// Signal-trace frames from the module, written to the signal-trace files:
// a record file for the signal-trace tool and a text log, both
// numbered by the connection's suffix.
#include "cfc_sigtrace.h"

#include "cfc_trace.h"

#include "plat/byte_order.h"
#include "plat/system_error.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

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

struct SignalHeader {
    uint32_t source;
    uint32_t destination;
    uint32_t frameNumber;
    uint32_t time;
    uint16_t length;
    uint32_t signalId;
};

SignalHeader headerOf(std::span<const uint8_t> frame)
{
    using plat::getLe16;
    using plat::getLe32;
    return {getLe16(frame, kSourceOffset),      getLe16(frame, kDestinationOffset),
            getLe32(frame, kFrameNumberOffset), getLe32(frame, kTimeOffset),
            getLe16(frame, kLengthOffset),      getLe32(frame, kSignalIdOffset)};
}

class RecordBytes {
public:
    void u16(uint16_t v)
    {
        if (plat::putLe16(bytes_, size_, v))
            size_ += 2;
    }
    void u32(uint32_t v)
    {
        if (plat::putLe32(bytes_, size_, v))
            size_ += 4;
    }
    const uint8_t* data() const { return bytes_; }
    size_t size() const { return size_; }

private:
    uint8_t bytes_[kRecordHeaderSize] = {};
    size_t size_ = 0;
};

RecordBytes recordHeader(const SignalHeader& h)
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
    return record;
}

std::string logLine(const SignalHeader& h)
{
    char line[160];
    const int n =
        std::snprintf(line, sizeof line,
                      "Signal 0x%x: source 0x%x, dest 0x%x, length 0x%x, FN 0x%x, time 0x%x\r\n",
                      h.signalId, h.source, h.destination, h.length, h.frameNumber, h.time);
    return std::string(line, static_cast<size_t>(n));
}

constexpr const char* kDirectory = "cfctrace";
constexpr const char* kRecordFile = "cfc%03d.flg";
constexpr const char* kLogFile = "cfclog%03d.txt";
// Offsets of the two length fields in a record header.
constexpr uint64_t kRecordSizeAt = 4;
constexpr uint64_t kSignalLengthAt = 22;
constexpr int32_t kFileNumbers = 1000;

std::string fileName(const char* pattern, int32_t number)
{
    char name[32];
    std::snprintf(name, sizeof name, pattern, number);
    return name;
}

int32_t nextNumber(int32_t number)
{
    return static_cast<int64_t>(number) + 1 >= kFileNumbers ? 0 : number + 1;
}

void putU16At(plat::OwnFile& file, uint64_t at, uint16_t value)
{
    std::array<uint8_t, 2> bytes{};
    plat::putLe16(bytes, 0, value);
    file.writeAt(at, bytes.data(), bytes.size());
}

} // namespace

std::optional<int32_t> SignalTrace::claimFiles(int32_t from)
{
    std::lock_guard<std::mutex> hold(filesLock_);
    recordFile_.close();
    logFile_.close();
    record_ = {};
    recordFailTold_ = false;
    logFailTold_ = false;
    int32_t number = from;
    for (int32_t tries = 0; tries < kFileNumbers; ++tries, number = nextNumber(number)) {
        const std::string record = fileName(kRecordFile, number);
        int error = recordFile_.create(kDirectory, record);
        if (error == EEXIST)
            continue;
        // Without the directory the signal trace stays off the disk, as the
        // user chose; anything else is a refusal worth a line.
        if (error == ENOENT)
            return std::nullopt;
        if (error == 0) {
            error = logFile_.create(kDirectory, fileName(kLogFile, number));
            if (error == EEXIST) {
                recordFile_.remove();
                continue;
            }
            if (error == 0) {
                filesNumber_ = number;
                return number;
            }
            recordFile_.remove();
        }
        TraceLineF(trace_, 3, "(CFC ) WComOpen: Nimbo trace files %03d refused (%s), not written",
                   number, plat::systemErrorText(error).c_str());
        return std::nullopt;
    }
    TraceLineF(trace_, 3,
               "(CFC ) WComOpen: every Nimbo trace file number from %d on is in use, not written",
               from);
    return std::nullopt;
}

void SignalTrace::writeFailed(const char* pattern, int error, bool& told)
{
    if (told)
        return;
    told = true;
    TraceLineF(trace_, 3, "(CFC ) WriteSignalTrace: %s/%s: %s, signals left out", kDirectory,
               fileName(pattern, filesNumber_).c_str(), plat::systemErrorText(error).c_str());
}

void SignalTrace::signalFrame(const uint8_t* frameData, uint16_t length, bool continues)
{
    const size_t dataOffset = continues ? kNextDataOffset : kFirstDataOffset;
    // A first frame without its whole header has no signal to describe.
    if (frameData == nullptr || length < dataOffset)
        return;
    std::lock_guard<std::mutex> hold(filesLock_);
    if (!continues)
        endRecord();
    const size_t data = length - dataOffset;
    if (!continues) {
        const SignalHeader header = headerOf({frameData, length});
        if (logFile_.isOpen()) {
            const std::string line = logLine(header);
            if (const int error = logFile_.append(line.data(), line.size()); error != 0)
                writeFailed(kLogFile, error, logFailTold_);
        }
        if (!recordFile_.isOpen())
            return;
        // Header and first data in one append: either the record starts
        // whole or the signal is left out whole.
        const RecordBytes head = recordHeader(header);
        std::vector<uint8_t> first(head.data(), head.data() + head.size());
        first.insert(first.end(), frameData + dataOffset, frameData + length);
        const uint64_t at = recordFile_.size();
        if (const int error = recordFile_.append(first.data(), first.size()); error != 0) {
            writeFailed(kRecordFile, error, recordFailTold_);
            record_ = {};
            record_.broken = true;
            return;
        }
        record_ = {static_cast<int64_t>(at), header.length, data, false};
        return;
    }
    if (!recordFile_.isOpen() || record_.broken)
        return;
    if (const int error = recordFile_.append(frameData + dataOffset, data); error != 0) {
        writeFailed(kRecordFile, error, recordFailTold_);
        record_.broken = true;
        return;
    }
    record_.written += data;
}

void SignalTrace::endSignal()
{
    std::lock_guard<std::mutex> hold(filesLock_);
    endRecord();
    recordFile_.close();
    logFile_.close();
}

void SignalTrace::endRecord()
{
    const OpenRecord record = record_;
    record_ = {};
    if (record.headerAt < 0 || record.written == record.declared ||
        record.written > 0xFFFF - kRecordHeaderExtra || !recordFile_.isOpen())
        return;
    const auto written = static_cast<uint16_t>(record.written);
    const auto at = static_cast<uint64_t>(record.headerAt);
    putU16At(recordFile_, at + kRecordSizeAt, static_cast<uint16_t>(written + kRecordHeaderExtra));
    putU16At(recordFile_, at + kSignalLengthAt, written);
}

} // namespace cfc
