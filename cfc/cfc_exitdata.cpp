// "EXIT" records: the text in which the module reports four hexadecimal
// values, found in the raw and skip buffers and kept per connection.
#include "cfc_rawrx.h"

#include "cfc_trace.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cfc {

namespace {

constexpr uint8_t kMarker[] = {'E', 'X', 'I', 'T'};
constexpr uint16_t kMarkerLength = sizeof kMarker;
// The values start one character after the marker, behind its blank.
constexpr uint16_t kValuesOffset = kMarkerLength + 1;
constexpr uint16_t kDigitsPerValue = 8;

constexpr uint16_t kBannerLevel = 1;
constexpr const char* kSeparator = "(CFC ) *****************************";
constexpr const char* kEchoPrefix = "(CFC ) >> ";

uint32_t hexDigitValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<uint32_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<uint32_t>(c - 'a' + 10);
    return 0;
}

// Eight characters from `start`, first most significant. Characters past the
// buffered bytes count as 0, as every character that is no digit does, so a
// value keeps its place even when the text was cut off.
uint32_t parseValue(const uint8_t* text, uint16_t available, uint16_t start)
{
    uint32_t value = 0;
    for (uint16_t i = 0; i < kDigitsPerValue; ++i) {
        const uint16_t at = static_cast<uint16_t>(start + i);
        value = (value << 4) | (at < available ? hexDigitValue(text[at]) : 0);
    }
    return value;
}

void traceSeparators(const TraceChannel& trace, int lines)
{
    for (int i = 0; i < lines; ++i)
        TraceLine(trace, kBannerLevel, kSeparator);
}

// The nine lines that report one marker; `text` runs from the marker to the
// end of the buffered bytes and is shown as far as a C string carries it.
void reportMarker(const TraceChannel& trace, const uint8_t* text, uint16_t length)
{
    traceSeparators(trace, 3);
    OpTrace(trace, "(CFC )", "FlushBuffer").step(kBannerLevel, "EXIT String found!");
    traceSeparators(trace, 1);
    char line[16 + kRawBufferSize];
    const size_t prefix = std::strlen(kEchoPrefix);
    std::memcpy(line, kEchoPrefix, prefix);
    const uint8_t* end = std::find(text, text + std::min(length, kRawBufferSize), uint8_t{0});
    const size_t shown = static_cast<size_t>(end - text);
    std::memcpy(line + prefix, text, shown);
    line[prefix + shown] = '\0';
    TraceLine(trace, kBannerLevel, line);
    traceSeparators(trace, 3);
}

} // namespace

void ScanExitMarkers(RawInput& raw, const uint8_t* data, uint16_t count)
{
    if (data == nullptr)
        return;
    for (uint16_t at = 0; at + kMarkerLength <= count; ++at) {
        if (std::memcmp(data + at, kMarker, kMarkerLength) != 0)
            continue;
        const uint16_t valuesAt = static_cast<uint16_t>(at + kValuesOffset);
        if (valuesAt < count)
            ParseExitData(raw, data + valuesAt, static_cast<uint16_t>(count - valuesAt));
        else
            ParseExitData(raw, nullptr, 0);
        reportMarker(raw.trace_, data + at, static_cast<uint16_t>(count - at));
    }
}

void ParseExitData(RawInput& raw, const uint8_t* text, uint16_t available)
{
    if (text == nullptr)
        available = 0;
    if (raw.exitCount_ < UINT8_MAX)
        ++raw.exitCount_;
    if (raw.exitCount_ > kStoredExitRecords)
        return;
    ExitRecord& record = raw.exitRecords_[raw.exitCount_ - 1];
    for (uint16_t i = 0; i < kExitValues; ++i)
        record.values[i] = parseValue(text, available, static_cast<uint16_t>(i * kDigitsPerValue));
}

void ResetExitRecords(RawInput& raw)
{
    // Another connection's receive thread may be parsing a marker right now.
    std::lock_guard<std::mutex> hold(raw.lock_);
    raw.exitCount_ = 0;
    raw.exitRecords_ = {};
}

void TakeExitData(RawInput& raw, uint8_t size, uint8_t* count, uint8_t* buffer)
{
    // Markers still buffered are parsed before the records are read.
    FlushRawBuffers(raw);
    std::lock_guard<std::mutex> hold(raw.lock_);
    if (count != nullptr)
        *count = raw.exitCount_;

    std::array<uint8_t, kStoredExitRecords * kExitRecordBytes> packed{};
    const uint8_t stored = std::min(raw.exitCount_, kStoredExitRecords);
    // The public interface hands each value out low byte first.
    for (uint8_t r = 0; r < stored; ++r)
        for (uint8_t v = 0; v < kExitValues; ++v)
            plat::putLe32(packed, r * kExitRecordBytes + v * 4, raw.exitRecords_[r].values[v]);
    const size_t copied = std::min<size_t>(size, stored * kExitRecordBytes);
    if (buffer != nullptr)
        std::memcpy(buffer, packed.data(), copied);
}

} // namespace cfc
