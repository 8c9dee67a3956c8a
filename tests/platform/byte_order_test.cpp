// The byte-order helpers against bytes written out by hand, so that a
// mistake in them cannot hide behind the frames and messages built on them.
#include "plat/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Field {
    const char* name;
    uint32_t value;
    Bytes wire;
    bool (*put)(std::span<uint8_t>, size_t, uint32_t);
    uint32_t (*get)(std::span<const uint8_t>, size_t);
};

// One signature for both widths, so that one table holds them all.
template <auto Put>
bool put16(std::span<uint8_t> out, size_t at, uint32_t value)
{
    return Put(out, at, static_cast<uint16_t>(value));
}
template <auto Get>
uint32_t get16(std::span<const uint8_t> in, size_t at)
{
    return Get(in, at);
}

// The values carry high bits in their top byte: a read that widened a byte
// with its sign would show there.
const Field kFields[] = {
    {"Le16", 0x1234, {0x34, 0x12}, put16<plat::putLe16>, get16<plat::getLe16>},
    {"Le16 high", 0xFE80, {0x80, 0xFE}, put16<plat::putLe16>, get16<plat::getLe16>},
    {"Be16", 0x1234, {0x12, 0x34}, put16<plat::putBe16>, get16<plat::getBe16>},
    {"Be16 high", 0xFE80, {0xFE, 0x80}, put16<plat::putBe16>, get16<plat::getBe16>},
    {"Le32", 0x12345678, {0x78, 0x56, 0x34, 0x12}, plat::putLe32, plat::getLe32},
    {"Le32 high", 0xF1E2D3C4, {0xC4, 0xD3, 0xE2, 0xF1}, plat::putLe32, plat::getLe32},
    {"Be32", 0x12345678, {0x12, 0x34, 0x56, 0x78}, plat::putBe32, plat::getBe32},
    {"Be32 high", 0xF1E2D3C4, {0xF1, 0xE2, 0xD3, 0xC4}, plat::putBe32, plat::getBe32},
};

constexpr uint8_t kFill = 0xA5;

// Each field lands at its offset in its order, the bytes around it keep what
// they held, and it reads back from the bytes as written by hand.
TEST(ByteOrder, EachWidthAndOrderAtAnOffsetLeavesItsNeighbours)
{
    for (const Field& f : kFields) {
        for (const size_t at : {size_t{0}, size_t{3}}) {
            Bytes buffer(at + f.wire.size() + 2, kFill);
            ASSERT_TRUE(f.put(buffer, at, f.value)) << f.name << " at " << at;
            Bytes expected(at, kFill);
            expected.insert(expected.end(), f.wire.begin(), f.wire.end());
            expected.insert(expected.end(), 2, kFill);
            EXPECT_EQ(buffer, expected) << f.name << " at " << at;

            Bytes source(at, 0xEE);
            source.insert(source.end(), f.wire.begin(), f.wire.end());
            EXPECT_EQ(f.get(source, at), f.value) << f.name << " at " << at;
        }
    }
}

// A field that does not lie wholly inside the span is never written and
// reads as zero, also for an offset so large that offset + width wraps.
TEST(ByteOrder, AFieldOutsideTheSpanIsNeitherWrittenNorRead)
{
    for (const Field& f : kFields) {
        const size_t width = f.wire.size();
        const Bytes full(8, 0xFF);
        for (const size_t at :
             {full.size() - width + 1, full.size(), full.size() + 1, SIZE_MAX, SIZE_MAX - 1}) {
            Bytes buffer(full.size(), kFill);
            EXPECT_FALSE(f.put(buffer, at, f.value)) << f.name << " at " << at;
            EXPECT_EQ(buffer, Bytes(full.size(), kFill)) << f.name << " at " << at;
            EXPECT_EQ(f.get(full, at), 0u) << f.name << " at " << at;
        }
        // A field that ends exactly at the span's end fits.
        Bytes buffer(full.size(), kFill);
        EXPECT_TRUE(f.put(buffer, full.size() - width, f.value)) << f.name;
        EXPECT_EQ(f.get(full, full.size() - width), width == 2 ? 0xFFFFu : 0xFFFFFFFFu) << f.name;
        EXPECT_FALSE(f.put({}, 0, f.value)) << f.name;
        EXPECT_EQ(f.get({}, 0), 0u) << f.name;
    }
}

// Usable where a table is built at compile time.
constexpr std::array<uint8_t, 6> packedAtCompileTime()
{
    std::array<uint8_t, 6> bytes{};
    plat::putBe16(bytes, 0, 0x0102);
    plat::putLe32(bytes, 2, 0x06050403);
    return bytes;
}
static_assert(packedAtCompileTime() == std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6});
static_assert(plat::getLe16(packedAtCompileTime(), 4) == 0x0605);

} // namespace
