#include "files.h"

#include "failure.h"

#include "plat/regular_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace cfctool {

std::vector<uint8_t> readInputFile(const std::string& path, std::size_t maxBytes)
{
    std::string content;
    const plat::FileCheck check = plat::readRegularFile(path, maxBytes, content);
    if (check != plat::FileCheck::Ok)
        failUsage(path + ": " + plat::describeFileCheck(check, maxBytes));
    return {content.begin(), content.end()};
}

void writeOutputFile(const std::string& path, std::span<const uint8_t> bytes)
{
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        throw Failure(kExitFailed, path + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(temporary.c_str());
        throw Failure(kExitFailed, path + ": " + std::strerror(written ? errno : writeError));
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        throw Failure(kExitFailed, path + ": " + error.message());
    }
}

} // namespace cfctool
