#include "sha256.h"

#include "numbers.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace cfctool {

std::string sha256Hex(std::span<const uint8_t> bytes)
{
    std::array<uint8_t, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    return hexText({digest.data(), length});
}

} // namespace cfctool
