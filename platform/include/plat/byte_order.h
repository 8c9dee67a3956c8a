// Multi-byte fields of frames, messages, files and the system's binary
// records: 16 and 32 bits, low byte first (Le) or high byte first (Be), at a
// byte offset of a span. Everything that packs or unpacks such a field goes
// through these, so that byte order is written down once.
//
// The span bounds every access, in every build: a field that does not lie
// wholly inside it is neither written nor read. put returns false and leaves
// the span as it was; get returns 0. A caller whose buffer may end inside a
// field and that has a rule of its own for that case (the bytes that are
// there, the missing ones as zero) applies the rule itself.
//
// Header only, so that code which links nothing of the platform can use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace plat {

namespace byte_order_detail {

// Written so that `at + width` cannot wrap round for an absurd offset.
constexpr bool fits(size_t size, size_t at, size_t width)
{
    return at <= size && width <= size - at;
}

template <size_t Width, bool BigEndian, typename Value>
constexpr bool put(std::span<uint8_t> out, size_t at, Value value)
{
    if (!fits(out.size(), at, Width))
        return false;
    for (size_t i = 0; i < Width; ++i) {
        const size_t shift = 8 * (BigEndian ? Width - 1 - i : i);
        out[at + i] = static_cast<uint8_t>(value >> shift);
    }
    return true;
}

template <size_t Width, bool BigEndian, typename Value>
constexpr Value get(std::span<const uint8_t> in, size_t at)
{
    if (!fits(in.size(), at, Width))
        return 0;
    Value value = 0;
    for (size_t i = 0; i < Width; ++i) {
        const size_t shift = 8 * (BigEndian ? Width - 1 - i : i);
        value = static_cast<Value>(value | static_cast<Value>(in[at + i]) << shift);
    }
    return value;
}

} // namespace byte_order_detail

constexpr bool putLe16(std::span<uint8_t> out, size_t at, uint16_t value)
{
    return byte_order_detail::put<2, false>(out, at, value);
}
constexpr bool putLe32(std::span<uint8_t> out, size_t at, uint32_t value)
{
    return byte_order_detail::put<4, false>(out, at, value);
}
constexpr bool putBe16(std::span<uint8_t> out, size_t at, uint16_t value)
{
    return byte_order_detail::put<2, true>(out, at, value);
}
constexpr bool putBe32(std::span<uint8_t> out, size_t at, uint32_t value)
{
    return byte_order_detail::put<4, true>(out, at, value);
}

constexpr uint16_t getLe16(std::span<const uint8_t> in, size_t at)
{
    return byte_order_detail::get<2, false, uint16_t>(in, at);
}
constexpr uint32_t getLe32(std::span<const uint8_t> in, size_t at)
{
    return byte_order_detail::get<4, false, uint32_t>(in, at);
}
constexpr uint16_t getBe16(std::span<const uint8_t> in, size_t at)
{
    return byte_order_detail::get<2, true, uint16_t>(in, at);
}
constexpr uint32_t getBe32(std::span<const uint8_t> in, size_t at)
{
    return byte_order_detail::get<4, true, uint32_t>(in, at);
}

} // namespace plat
