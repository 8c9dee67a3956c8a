// Private-profile (INI) files through the system's own profile functions, so
// that a settings file reads as every other program on the PC reads it
// (quotes around a value, comments, the system's own caching of the file).
#include "plat/profile.h"

#include <windows.h>

#include <string>
#include <vector>

namespace plat {

namespace {

// Values of a settings file are short; a longer one is cut at this size.
constexpr DWORD kMaxValueSize = 32768;

// A name without a directory would be looked for in the Windows directory;
// the seam means it relative to the working directory.
std::string fullPath(const std::string& file)
{
    char buffer[MAX_PATH];
    const DWORD length = GetFullPathNameA(file.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return file;
    return std::string(buffer, length);
}

} // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback)
{
    const std::string path = fullPath(file);
    // The system reports a cut value as one character short of the buffer;
    // only then is a larger buffer worth a second read.
    for (DWORD size = 256;; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetPrivateProfileStringA(
            section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, path.c_str());
        if (length + 1 < size || size >= kMaxValueSize)
            return std::string(buffer.data(), length);
    }
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    // A line break would let a value start sections and keys of its own.
    if (section.empty() || key.empty() ||
        (section + key + value).find_first_of("\r\n") != std::string::npos)
        return false;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                      fullPath(file).c_str()) != 0;
}

} // namespace plat
