// Bounded handling of strings that come from callers, INF files and the
// registry: nothing is copied into a fixed buffer unless it fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace zantal {

// Copies text and its terminating zero; false, leaving the buffer untouched,
// when they do not fit in `size` bytes.
inline bool copyFitting(char* buffer, size_t size, std::string_view text)
{
    if (!buffer || text.size() + 1 > size)
        return false;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

// A caller's string of at most `maxLength` characters; nothing when it is
// null or longer.
inline std::optional<std::string_view> boundedString(const char* text, size_t maxLength)
{
    if (!text)
        return std::nullopt;
    const size_t length = strnlen(text, maxLength + 1);
    if (length > maxLength)
        return std::nullopt;
    return std::string_view(text, length);
}

// The string held in a buffer the system filled with `filled` bytes: up to
// its first zero, or nothing when the bytes hold none (never read past them).
inline std::optional<std::string_view> filledString(const char* buffer, size_t filled)
{
    const void* zero = std::memchr(buffer, '\0', filled);
    if (!zero)
        return std::nullopt;
    return std::string_view(buffer, static_cast<const char*>(zero) - buffer);
}

} // namespace zantal
