// The AddReg directives of an INF install section: registry values a driver
// installation writes, "HKR" meaning the device's driver key.
#pragma once

#include "inf_file.h"
#include "win/types.h"

namespace zantal::inf {

// Applies every AddReg section the install section names, in order. False at
// the first entry that cannot be written.
bool applyAddReg(const InfFile& file, const Section& installSection, win::HKEY driverKey);

} // namespace zantal::inf
