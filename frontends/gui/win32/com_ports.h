#pragma once

#include <cstdint>

namespace kestrix::win32 {

bool comPortConfigured(std::int32_t portNumber);

} // namespace kestrix::win32
