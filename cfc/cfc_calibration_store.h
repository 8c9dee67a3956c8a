// What a connection keeps for calibration between calls: the values a line
// collects before it writes them to the module in one go, the last burst
// data, the gain codes being handed out, and the working area that carries
// the module's other items over an erase.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

inline constexpr uint8_t kInvalidIqOffset = 127;

// Calibration item ids 0 to 18 (item n is bit n of the stored set).
inline constexpr size_t kCalibrationItemCount = 19;
inline constexpr uint8_t kTxIqOffsetsItem = 6;
inline constexpr uint8_t kAutoCalIqOffsetsItem = 18;
// The store's size of each item; 0 for the items the store does not keep.
inline constexpr std::array<uint16_t, kCalibrationItemCount> kCalibrationItemSizes = {
    208, 208, 14, 256, 256, 16, 16, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4};
inline constexpr size_t kLargestStoredItem = 256;

inline constexpr size_t kGmskBurstWords = 10;
inline constexpr size_t k8pskBurstWords = 30;
inline constexpr size_t kGainCodeCapacity = 16;
inline constexpr size_t kSavedItemSize = 1400;

struct SavedItem {
    uint16_t length = 0;
    std::array<uint8_t, kSavedItemSize> data{};
};

struct CalibrationStore {
    // Bit n: item n has a value in the store.
    uint32_t storedCalibrationItems = 0;
    std::array<std::array<uint8_t, kLargestStoredItem>, kCalibrationItemCount> items{};

    std::array<uint16_t, kGmskBurstWords> gmskBurst{};
    std::array<uint16_t, k8pskBurstWords> psk8Burst{};

    std::array<uint16_t, kGainCodeCapacity> gainCodes{};
    uint16_t gainCodeCount = 0;
    uint16_t gainCodeIndex = 0;

    std::array<SavedItem, kCalibrationItemCount> saved{};

    // The store's area of an item, as long as the item is; empty for an id
    // the store does not keep.
    std::span<uint8_t> item(size_t id)
    {
        if (id >= kCalibrationItemCount)
            return {};
        return {items[id].data(), kCalibrationItemSizes[id]};
    }
};

} // namespace cfc
