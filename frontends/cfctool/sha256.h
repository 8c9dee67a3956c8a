// SHA-256 of a byte string, from the system's cryptographic library.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace cfctool {

// 64 lower-case hexadecimal digits.
std::string sha256Hex(std::span<const uint8_t> bytes);

} // namespace cfctool
