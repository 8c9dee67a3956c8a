// Port settings in $XDG_CONFIG_HOME/cfc/cfc.ini (~/.config by default),
// section [KVX_Library], keys ComPort and Baudrate. Both keys are written in
// one replacement of the file, so a reader finds the pair of one write.
#include "plat/port_settings.h"

#include "plat/portmap.h"
#include "plat/profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <string>

namespace plat {

namespace {

constexpr const char* kSection = "KVX_Library";
constexpr const char* kPortKey = "ComPort";
constexpr const char* kBaudRateKey = "Baudrate";

std::string settingsDirectory()
{
    const std::string base = userConfigDir();
    return base.empty() ? std::string() : base + "/cfc";
}

bool makeDirectory(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// A whole decimal number no larger than `limit`, or nothing.
bool parse(const std::string& text, uint32_t limit, uint32_t& value)
{
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || parsed > limit)
        return false;
    value = parsed;
    return true;
}

} // namespace

bool writePortSettings(uint8_t port, uint32_t baudRate)
{
    const std::string directory = settingsDirectory();
    if (directory.empty() || !makeDirectory(userConfigDir()) || !makeDirectory(directory))
        return false;
    const std::string file = directory + "/cfc.ini";
    return writeProfileStrings(
        file, kSection,
        {{kBaudRateKey, std::to_string(baudRate)}, {kPortKey, std::to_string(port)}});
}

bool readPortSettings(uint8_t* port)
{
    const std::string directory = settingsDirectory();
    if (directory.empty() || port == nullptr)
        return false;
    const std::string file = directory + "/cfc.ini";
    uint32_t value = 0;
    if (!parse(readProfileString(file, kSection, kPortKey, ""), UINT8_MAX, value))
        return false;
    *port = static_cast<uint8_t>(value);
    return true;
}

} // namespace plat
