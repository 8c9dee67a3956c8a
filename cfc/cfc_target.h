// Facts about the module behind a connection, cached per connection and
// invalidated at every open.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace cfc {

inline constexpr size_t kProjectSize = 64;
inline constexpr size_t kPostfixSize = 32;
inline constexpr size_t kBootloaderTextSize = 25;

// Per-connection record, filled at the first remote procedure call after an
// open. The delay workaround flag it decides lives with the send pacing,
// which the receive thread uses too.
struct TargetVersionInfo {
    // Set while the version is fetched or known for this connection.
    uint32_t gotTargetVersion = 0;
    std::array<char, kProjectSize> project{};
    // Cleared at every open; kept when a text cannot be evaluated.
    int16_t versionNumber = 0;
    std::array<char, kPostfixSize> postfix{};
    std::array<char, kBootloaderTextSize> bootloader{};
    // Low byte of the module's RPC version word.
    uint8_t rpcVersion = 0;
    // The whole word, major number in the upper half, for those who show it.
    uint32_t rpcVersionWord = 0;
};

struct TargetFacts {
    // The fetched flag and the mobile software version number live here too.
    TargetVersionInfo version;
};

} // namespace cfc
