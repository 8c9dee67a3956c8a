#include "sim/wire.h"

#include <algorithm>
#include <cassert>

namespace sim {

namespace {

template <size_t Width, typename Value>
void append(std::vector<uint8_t>& out, bool (*put)(std::span<uint8_t>, size_t, Value), Value value)
{
    out.resize(out.size() + Width);
    put(out, out.size() - Width, value);
}

} // namespace

void putLe16(std::vector<uint8_t>& out, uint16_t value)
{
    append<2>(out, plat::putLe16, value);
}

void putBe16(std::vector<uint8_t>& out, uint16_t value)
{
    append<2>(out, plat::putBe16, value);
}

void putLe32(std::vector<uint8_t>& out, uint32_t value)
{
    append<4>(out, plat::putLe32, value);
}

uint8_t blockCheck(std::span<const uint8_t> data)
{
    uint8_t check = kStx ^ static_cast<uint8_t>(data.size());
    for (uint8_t byte : data)
        check ^= byte;
    return check;
}

std::vector<uint8_t> encodeFrame(std::span<const uint8_t> data)
{
    assert(data.size() <= kMaxFrameData);
    std::vector<uint8_t> frame;
    frame.reserve(data.size() + 4);
    frame.push_back(kStx);
    frame.push_back(static_cast<uint8_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(blockCheck(data));
    frame.push_back(kEtx);
    return frame;
}

std::vector<std::vector<uint8_t>> segmentMessage(uint8_t type, std::span<const uint8_t> header,
                                                 std::span<const uint8_t> data)
{
    assert(header.size() + 2 <= kMaxFrameData);
    std::vector<std::vector<uint8_t>> frames;
    uint8_t segment = 0;
    size_t next = 0;
    do {
        std::vector<uint8_t> frame{type, 0};
        if (frames.empty())
            frame.insert(frame.end(), header.begin(), header.end());
        const size_t room = kMaxFrameData - frame.size();
        const size_t take = std::min(room, data.size() - next);
        frame.insert(frame.end(), data.begin() + static_cast<std::ptrdiff_t>(next),
                     data.begin() + static_cast<std::ptrdiff_t>(next + take));
        next += take;
        frame[1] = next == data.size() ? kLastSegment : segment++;
        frames.push_back(std::move(frame));
    } while (next < data.size());
    return frames;
}

std::vector<uint8_t> commandHeader(uint16_t command, size_t dataSize)
{
    std::vector<uint8_t> header;
    putLe16(header, command);
    putLe16(header, static_cast<uint16_t>(dataSize));
    return header;
}

std::vector<uint8_t> signalTraceHeader(const SignalTrace& trace)
{
    std::vector<uint8_t> header;
    putLe16(header, trace.source);
    putLe16(header, trace.destination);
    putLe32(header, trace.frameNumber);
    putLe32(header, trace.time);
    putLe16(header, static_cast<uint16_t>(trace.data.size()));
    putLe16(header, 0); // not read by the host
    putLe32(header, trace.signalId);
    return header;
}

std::string hexBytes(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

} // namespace sim
