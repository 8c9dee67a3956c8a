// The EMMI wire format as the module writes and reads it, kept apart from the
// library's own code on purpose: the simulator is the independent peer that
// checks the library, so it must not share the library's mistakes.
#pragma once

#include "plat/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;

inline constexpr size_t kMaxFrameData = 255;
inline constexpr uint8_t kLastSegment = 0xFF;

// Message types: the host sends the first three, the module the last two.
inline constexpr uint8_t kTypeCommand = 0xD6;
inline constexpr uint8_t kTypeParameters = 0xD3;
inline constexpr uint8_t kTypeByteParameter = 0xD5;
inline constexpr uint8_t kTypeSignalTrace = 0xD4;

// Byte order of header fields. `put*` append a field; `get*` read one at an
// offset, a field beyond the buffer as zero. The order itself is the
// platform's, checked on its own against bytes written out by hand, so the
// simulator still shares nothing with the library it checks.
void putLe16(std::vector<uint8_t>& out, uint16_t value);
void putBe16(std::vector<uint8_t>& out, uint16_t value);
void putLe32(std::vector<uint8_t>& out, uint32_t value);
using plat::getBe16;
using plat::getBe32;
using plat::getLe16;
using plat::getLe32;

// Block check character: XOR of STX, the length byte and every data byte.
uint8_t blockCheck(std::span<const uint8_t> data);

// STX, LEN, data, BCC, ETX. The data must not exceed kMaxFrameData bytes.
std::vector<uint8_t> encodeFrame(std::span<const uint8_t> data);
// Offset of the BCC byte inside an encoded frame.
inline size_t blockCheckOffset(size_t dataSize)
{
    return 2 + dataSize;
}

// Cuts a message into frame data: every frame starts with the type and its
// segment number (0, 1, ... while more follow, kLastSegment for the last),
// the first also carries `header`; the message data fill each frame up to
// kMaxFrameData bytes. An empty message still makes one frame.
std::vector<std::vector<uint8_t>> segmentMessage(uint8_t type, std::span<const uint8_t> header,
                                                 std::span<const uint8_t> data);

// Header of a module command message: the command low byte first, then two
// bytes the host does not read, which carry the data length (low byte first)
// so that a trace of the wire stays legible.
std::vector<uint8_t> commandHeader(uint16_t command, size_t dataSize);

// A signal traced inside the module, as the module reports it in 0xD4 frames.
struct SignalTrace {
    uint16_t source = 0;
    uint16_t destination = 0;
    uint32_t frameNumber = 0;
    uint32_t time = 0;
    uint32_t signalId = 0;
    std::vector<uint8_t> data;
};

// The 20 header bytes of a signal trace's first frame; the signal length
// field is the data size cut to 16 bits.
std::vector<uint8_t> signalTraceHeader(const SignalTrace& trace);

// "02 03 61" and so on, for trace lines.
std::string hexBytes(std::span<const uint8_t> bytes);

} // namespace sim
