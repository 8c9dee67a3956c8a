// The bootloader's side of its dialogue with the host, at 57600 baud: a
// one-byte start pattern and its answer, then records framed as four 0xFF
// bytes, a 16-bit big-endian count N, N command bytes and a check byte, the
// exclusive-or of the two count bytes and the N command bytes. The host's
// commands and the bootloader's version answer share that layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

inline constexpr uint32_t kBootloaderBaudRate = 57600;
inline constexpr uint8_t kStartPattern = 0x78;
inline constexpr uint8_t kPatternAnswer = 0x87;
inline constexpr uint8_t kBootAck = 0x06;
inline constexpr uint8_t kBootNak = 0x15;

// Command bytes of the two commands the host sends.
inline constexpr uint8_t kVersionCommand[] = {0xFE, 0x07};
inline constexpr uint8_t kBootCommand[] = {0xFE, 0x01, 0x02};
// The version record: these two bytes, then the major and minor number.
inline constexpr uint8_t kVersionRecordTag[] = {0xFF, 0x07};

// Longer counts are taken for noise, not for a command.
inline constexpr size_t kMaxBootCommand = 64;

std::vector<uint8_t> encodeBootRecord(std::span<const uint8_t> command);

// Finds commands in the bytes from the host. Anything before a run of four
// 0xFF bytes (left-over start patterns, the host's acknowledgement of the
// version record) is skipped.
class BootCommandReceiver {
public:
    enum class Result : uint8_t {
        Pending,  // byte taken, no command complete
        Command,  // command() holds the command bytes
        BadCheck, // a command ended with a wrong check byte
    };

    Result feed(uint8_t byte);
    const std::vector<uint8_t>& command() const { return command_; }

private:
    enum class State : uint8_t { Sync, CountLow, Body, Check };

    Result onSync(uint8_t byte);

    State state_ = State::Sync;
    uint8_t syncBytes_ = 0;
    // As they came, for the check byte.
    std::array<uint8_t, 2> countBytes_{};
    uint16_t count_ = 0;
    std::vector<uint8_t> command_;
};

} // namespace sim
