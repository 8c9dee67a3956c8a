// Numbers and bytes as a technician types and reads them: decimal or 0x
// hexadecimal on the command line, hexadecimal text for byte fields.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cfctool {

// Decimal, or hexadecimal after "0x"/"0X"; nothing for any other text (a
// sign, blanks, trailing characters) or for a number above `max`. A leading
// zero stays decimal: item ids are written as printed, "010" is ten.
std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max);

// Lower-case hexadecimal, two digits a byte, nothing between them.
std::string hexText(std::span<const uint8_t> bytes);
// The bytes of such a text; nothing for an odd length or a non-digit.
std::optional<std::vector<uint8_t>> bytesOfHex(std::string_view text);

} // namespace cfctool
