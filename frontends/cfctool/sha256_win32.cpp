#include "sha256.h"

#include "numbers.h"

#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <stdexcept>

namespace cfctool {

std::string sha256Hex(std::span<const uint8_t> bytes)
{
    std::array<uint8_t, 32> digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        throw std::runtime_error("SHA-256 is not available");
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    // The input is only read; the call's parameter lacks the const.
    done = done && BCryptHashData(hash, const_cast<PUCHAR>(bytes.data()),
                                  static_cast<ULONG>(bytes.size()), 0) == 0;
    done = done && BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) == 0;
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!done)
        throw std::runtime_error("SHA-256 is not available");
    return hexText(digest);
}

} // namespace cfctool
