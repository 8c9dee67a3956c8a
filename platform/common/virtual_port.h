// Host side of the in-memory lines registered by registerVirtualDevice.
#pragma once

#include "plat/serial.h"

#include <memory>
#include <string>

namespace plat::detail {

// Opens the line registered under `name`: ENOENT when there is none, EBUSY
// when its host side is already open.
std::unique_ptr<SerialPort> openVirtualPort(const std::string& name, int* sysError);

} // namespace plat::detail
