// The driver description of a hardware ID, read from an INF file through
// SetupAPI: provider, manufacturer and the model line's description.
#pragma once

#include "setupapi_binding.h"

#include <string_view>

namespace zantal {

// Fills the record (its size, type and the three names); false when the file
// cannot be opened, lacks a "Provider", a "Manufacturer" section or a model
// line whose first hardware ID is exactly `hardwareId`, or a field does not
// fit its buffer.
bool readDriverDescription(const SetupApi& api, const char* infPath, std::string_view hardwareId,
                           win::SP_DRVINFO_DATA_V1_A& driver);

} // namespace zantal
