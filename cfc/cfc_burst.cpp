#include "cfc_burst.h"

#include <algorithm>
#include <vector>

namespace cfc {

namespace {

// The normal-burst training sequences of 3GPP TS 45.002 for GMSK, as the
// standard writes them, bit by bit.
constexpr std::array<std::array<uint8_t, kTrainingSequenceBits>, kTrainingSequenceCount> kGmsk = {{
    {0, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 1, 1},
    {0, 0, 1, 0, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 1, 1, 0, 1, 1, 1},
    {0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0},
    {0, 1, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0},
    {0, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1},
    {0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0},
    {1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1},
    {1, 1, 1, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 0, 0},
}};

constexpr size_t kPsk8Bits = 3;

// The 8PSK sequences use two opposite points of the constellation only: a
// GMSK 0 becomes the symbol 1,1,1 and a 1 the symbol 0,0,1.
constexpr auto kPsk8 = [] {
    std::array<std::array<uint8_t, kPsk8Bits * kTrainingSequenceBits>, kTrainingSequenceCount>
        sequences{};
    for (size_t tsc = 0; tsc < kTrainingSequenceCount; ++tsc)
        for (size_t bit = 0; bit < kTrainingSequenceBits; ++bit) {
            const bool one = kGmsk[tsc][bit] != 0;
            sequences[tsc][kPsk8Bits * bit] = one ? 0 : 1;
            sequences[tsc][kPsk8Bits * bit + 1] = one ? 0 : 1;
            sequences[tsc][kPsk8Bits * bit + 2] = 1;
        }
    return sequences;
}();

constexpr size_t kBurstSymbols = 156;
constexpr size_t kWordsPerBit = 10; // words of the store per bit of a symbol

// The burst while it is built, one bit a byte.
class BurstBits {
public:
    explicit BurstBits(size_t c) : c_(c) { bits_.reserve(kBurstSymbols * c); }
    void fill(uint8_t bit, size_t symbols) { bits_.insert(bits_.end(), symbols * c_, bit); }
    // `symbols` x c pairs of the bits 0, 1.
    void alternate(size_t symbols)
    {
        for (size_t i = 0; i < symbols * c_; ++i) {
            bits_.push_back(0);
            bits_.push_back(1);
        }
    }
    void append(std::span<const uint8_t> bits)
    {
        bits_.insert(bits_.end(), bits.begin(), bits.end());
    }
    const std::vector<uint8_t>& bits() const { return bits_; }

private:
    size_t c_;
    std::vector<uint8_t> bits_;
};

} // namespace

std::span<const uint8_t> TrainingSequence(uint8_t tsc, size_t bitsPerSymbol)
{
    if (tsc >= kTrainingSequenceCount)
        return {};
    if (bitsPerSymbol == 1)
        return kGmsk[tsc];
    if (bitsPerSymbol == kPsk8Bits)
        return kPsk8[tsc];
    return {};
}

bool BuildCfcBurst(uint8_t dataMode, uint8_t tsc, bool psk8, std::span<uint16_t> words)
{
    const size_t c = psk8 ? kPsk8Bits : 1;
    if (words.size() != kWordsPerBit * c)
        return false;
    const bool trained = dataMode == 3 || dataMode == 4;
    const std::span<const uint8_t> training = TrainingSequence(tsc, c);
    // A sequence number beyond the table would read past it.
    if (trained && training.empty())
        return false;

    BurstBits burst(c);
    switch (dataMode) {
    case 1: burst.fill(1, kBurstSymbols); break;
    case 2:
        burst.fill(0, 3);
        burst.alternate(71);
        burst.fill(0, 3);
        burst.fill(1, 8);
        break;
    case 3:
    case 4:
        burst.fill(0, 3);
        dataMode == 3 ? burst.fill(1, 58) : burst.alternate(29);
        burst.append(training);
        dataMode == 3 ? burst.fill(1, 58) : burst.alternate(29);
        burst.fill(0, 3);
        burst.fill(1, 8);
        break;
    default: burst.fill(0, kBurstSymbols); break;
    }

    std::fill(words.begin(), words.end(), uint16_t{0});
    const std::vector<uint8_t>& bits = burst.bits();
    for (size_t i = 0; i < bits.size() && i / 16 < words.size(); ++i)
        if (bits[i] != 0)
            words[i / 16] = static_cast<uint16_t>(words[i / 16] | (0x8000u >> (i % 16)));
    return true;
}

uint16_t BitReversed(uint16_t word)
{
    uint16_t reversed = 0;
    for (int bit = 0; bit < 16; ++bit)
        if ((word & (1u << bit)) != 0)
            reversed = static_cast<uint16_t>(reversed | (0x8000u >> bit));
    return reversed;
}

} // namespace cfc
