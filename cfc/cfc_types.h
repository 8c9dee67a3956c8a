// Types and constants every layer of the library shares: the connection
// handle's bit scheme and the small value sets that travel between layers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cfc {

// Result of a link-layer operation (codes of emmierr.h).
using ErrorCode = uint8_t;

inline constexpr size_t kSlotCount = 32;

// A handle is (slot << 12) | kHandleTag; the slot sits in bits 12 to 19.
inline constexpr uint32_t kHandleMask = 0xFFF00FFFu;
inline constexpr uint32_t kHandleTag = 0xCFC00CFCu;

constexpr uint32_t HandleForSlot(uint32_t slot)
{
    return (slot << 12) | kHandleTag;
}
constexpr bool HasHandleTag(uint32_t value)
{
    return (value & kHandleMask) == kHandleTag;
}
// The slot field of any value, tagged or not; it can name up to 256 slots, so
// callers must still compare it with kSlotCount.
constexpr uint32_t SlotBits(uint32_t value)
{
    return (value >> 12) & 0xFFu;
}
// The slot of COM port `portNum` (not negative): 0 means COM1, every port
// from 31 up shares the last slot.
constexpr uint32_t SlotForPort(int32_t portNum)
{
    if (portNum == 0)
        return 1;
    return portNum >= static_cast<int32_t>(kSlotCount) ? kSlotCount - 1
                                                       : static_cast<uint32_t>(portNum);
}

// Serial-mode values; single bits so that they combine into masks.
inline constexpr uint8_t kTargetSerialModeOff = 1;
inline constexpr uint8_t kTargetSerialModeAT = 2;
inline constexpr uint8_t kTargetSerialModeEMMI = 4;
inline constexpr uint8_t kTargetSerialModeUnknown = 8;
// No answer a probe could place: the module seems to be switched off.
inline constexpr uint8_t kTargetSerialModeSeemsOff =
    kTargetSerialModeOff | kTargetSerialModeUnknown;

// Firmware operation modes.
inline constexpr uint8_t kOperationModeNormal = 0;
inline constexpr uint8_t kOperationModeService = 1;
inline constexpr uint8_t kOperationModeTest = 2;
inline constexpr uint8_t kOperationModeAirplane = 4;

// Version of the library as WGetVersion and the open banner report it.
inline constexpr uint16_t kLibraryVersionMajor = 1;
inline constexpr uint16_t kLibraryVersionMinor = 0x4000;
inline constexpr long kLibraryBuildNumber = 43;

} // namespace cfc
