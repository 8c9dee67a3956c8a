// Private-profile files through SimpleIni. Section and key names compare
// without regard to case, as on the original host.
#include "plat/profile.h"

#include "common/backend.h"

// Debian's copy of the header keeps the template bodies behind this switch
// (its static library is built for wide-character converters we do not use);
// upstream ignores it. This is the only file that includes the header.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <filesystem>
#include <mutex>

namespace plat {

namespace {

using Ini = CSimpleIniA;

// Read-modify-write of one file must not interleave between threads, or one
// thread's key is lost.
std::mutex& writeMutex()
{
    static std::mutex instance;
    return instance;
}

// A line break would let a value start sections and keys of its own; '='
// ends a key and ']' a section name.
bool writable(const std::string& section, const std::string& key, const std::string& value)
{
    const auto breaksLine = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    return !section.empty() && !key.empty() && !breaksLine(section) && !breaksLine(key) &&
           !breaksLine(value) && section.find(']') == std::string::npos &&
           key.find('=') == std::string::npos;
}

} // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback)
{
    Ini ini;
    if (ini.LoadFile(file.c_str()) < 0)
        return fallback;
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? std::string(value) : fallback;
}

bool writeProfileString(const std::string& file, const std::string& section,
                        const std::string& key, const std::string& value)
{
    if (!writable(section, key, value))
        return false;
    std::lock_guard lock(writeMutex());
    Ini ini;
    if (ini.LoadFile(file.c_str()) < 0) {
        // Only a missing file starts empty; one that exists but cannot be
        // read would otherwise be replaced by this single key.
        std::error_code ec;
        if (std::filesystem::exists(file, ec) || ec)
            return false;
    }
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0)
        return false;
    std::string contents;
    if (ini.Save(contents) < 0)
        return false;
    int error = 0;
    return detail::replaceFile(file, contents, &error);
}

} // namespace plat
