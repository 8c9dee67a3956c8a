#include "trace_records.h"

#include "numbers.h"

#include "plat/byte_order.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace cfctool {

namespace {

constexpr size_t kHeaderSize = 28;
constexpr uint32_t kRecordMark = 50;
// The second length field counts the header's fields after it.
constexpr uint32_t kLengthBias = 22;

std::string hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace

TraceFile decodeTraceRecords(std::span<const uint8_t> bytes)
{
    TraceFile file;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        if (left < kHeaderSize) {
            file.problem = "record at offset " + std::to_string(at) +
                           " breaks off in its header (" + std::to_string(left) + " of " +
                           std::to_string(kHeaderSize) + " bytes)";
            break;
        }
        const uint32_t mark = plat::getLe32(bytes, at);
        const uint32_t total = plat::getLe16(bytes, at + 4);
        const uint32_t length = plat::getLe16(bytes, at + 22);
        if (mark != kRecordMark || total != length + kLengthBias) {
            file.problem = "no record header at offset " + std::to_string(at);
            break;
        }
        if (left - kHeaderSize < length) {
            file.problem = "record at offset " + std::to_string(at) + " (signal " +
                           hex32(plat::getLe32(bytes, at + 24)) +
                           ") breaks off: " + std::to_string(left - kHeaderSize) + " of its " +
                           std::to_string(length) + " data bytes are there";
            break;
        }
        TraceRecord record;
        record.offset = at;
        record.source = plat::getLe32(bytes, at + 6);
        record.destination = plat::getLe32(bytes, at + 10);
        record.frameNumber = plat::getLe32(bytes, at + 14);
        record.time = plat::getLe32(bytes, at + 18);
        record.signal = plat::getLe32(bytes, at + 24);
        const auto data = bytes.subspan(at + kHeaderSize, length);
        record.data.assign(data.begin(), data.end());
        file.records.push_back(std::move(record));
        at += kHeaderSize + length;
    }
    return file;
}

std::string formatTraceRecords(const TraceFile& file, TraceFormat format)
{
    if (format == TraceFormat::Json) {
        nlohmann::ordered_json records = nlohmann::ordered_json::array();
        for (const TraceRecord& r : file.records)
            records.push_back({{"offset", r.offset},
                               {"signal", hex32(r.signal)},
                               {"source", hex32(r.source)},
                               {"destination", hex32(r.destination)},
                               {"frame_number", r.frameNumber},
                               {"time", r.time},
                               {"length", r.data.size()},
                               {"data", hexText(r.data)}});
        return records.dump(2) + "\n";
    }
    std::string text;
    if (format == TraceFormat::Csv)
        text = "offset,signal,source,destination,frame_number,time,length,data\n";
    for (const TraceRecord& r : file.records) {
        char head[160];
        if (format == TraceFormat::Csv)
            std::snprintf(head, sizeof head, "%zu,0x%x,0x%x,0x%x,%u,%u,%zu,", r.offset, r.signal,
                          r.source, r.destination, r.frameNumber, r.time, r.data.size());
        else
            std::snprintf(head, sizeof head,
                          "signal 0x%x source 0x%x dest 0x%x FN %u time %u length %zu data ",
                          r.signal, r.source, r.destination, r.frameNumber, r.time, r.data.size());
        text += head + hexText(r.data) + "\n";
    }
    return text;
}

} // namespace cfctool
