// NVRAM calibration items of both families through the library: the 8-bit
// ids, and the QV family's 16-bit ids with their item versions.
#pragma once

#include "module.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cfctool {

// The largest item a read asks for and a write sends: what fits into one
// message of 1500 bytes with the call's own fields (five bytes before the
// data of a read confirm, six of a versioned one, six before the data of a
// write request, seven of a versioned one).
inline constexpr uint16_t kMaxItemRead = 1494;
inline constexpr uint16_t kMaxItemWrite = 1493;
inline constexpr uint16_t kMaxUserRead = 1494;
inline constexpr uint16_t kMaxUserWrite = 1490;

struct CalibrationItem {
    uint16_t id = 0;
    std::vector<uint8_t> data;
    // The QV family's item version (0 where the firmware keeps none); the
    // 8-bit family has none.
    std::optional<uint8_t> version;
};

bool calibrationItemPresent(const Module& module, bool qv, uint16_t id);
// Reads the item whole. An item that fills the whole read may be longer than
// what came; that is said on standard error.
CalibrationItem readCalibrationItem(const Module& module, bool qv, uint16_t id);
void writeCalibrationItem(const Module& module, bool qv, const CalibrationItem& item);

} // namespace cfctool
