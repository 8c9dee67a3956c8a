// The burst bits a transmitter test sends, built from a data mode and a
// training sequence rather than given word by word.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

inline constexpr size_t kTrainingSequenceBits = 26;
inline constexpr uint8_t kTrainingSequenceCount = 8;

// The normal-burst training sequence `tsc` (0 to 7) with `bitsPerSymbol` 1
// (GMSK) or 3 (8PSK), one bit a byte, first bit first; empty for any other
// tsc or width.
std::span<const uint8_t> TrainingSequence(uint8_t tsc, size_t bitsPerSymbol);

// Builds the 156 symbols of data mode 1 to 4 (any other: all zeros) and
// packs them, first bit into bit 15 of the first word, into 10 words for
// GMSK (`psk8` false) or 30 for 8PSK; the rest of the last word is zero.
// False, with `words` untouched, for a tsc the modes with a training
// sequence cannot use or an area of the wrong size.
bool BuildCfcBurst(uint8_t dataMode, uint8_t tsc, bool psk8, std::span<uint16_t> words);

// The word with its 16 bits in reverse order.
uint16_t BitReversed(uint16_t word);

} // namespace cfc
