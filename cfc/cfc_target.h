// Facts about the module behind a connection, cached per connection and
// invalidated at every open.
#pragma once

#include "cfc_version.h"

#include <array>
#include <cstdint>

namespace cfc {

inline constexpr uint8_t kInvalidIqOffset = 127;

struct TargetFacts {
    uint32_t storedCalibrationItems = 0;
    std::array<uint8_t, 16> gmskIqOffsets{};
    std::array<int16_t, 2> autoCalIqOffsets{};
    // The fetched flag and the mobile software version number live here too.
    TargetVersionInfo version;
};

} // namespace cfc
