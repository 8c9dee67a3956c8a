#include "plat/portmap.h"
#include "plat/profile.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace plat {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

struct DefaultRange {
    int first;
    const char* devicePrefix;
};

// Each range holds 32 ports, numbered from 0 on the device side.
constexpr int kRangeSize = 32;
constexpr std::array<DefaultRange, 3> kDefaults{{
    {1, "/dev/ttyS"},
    {33, "/dev/ttyUSB"},
    {65, "/dev/ttyACM"},
}};

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// The number n of "COM<n>" (after an optional device prefix), or -1 when the
// name is no COM name. Absurdly large numbers give 0, which maps to nothing.
int comNumber(std::string_view name)
{
    if (name.starts_with(kDevicePrefix))
        name.remove_prefix(kDevicePrefix.size());
    if (!startsWithNoCase(name, "COM"))
        return -1;
    name.remove_prefix(3);
    if (name.empty() || name.size() > 9)
        return name.empty() ? -1 : 0;
    int number = 0;
    for (const char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::optional<std::string> defaultPath(int portNumber)
{
    for (const DefaultRange& range : kDefaults) {
        const int index = portNumber - range.first;
        if (index >= 0 && index < kRangeSize)
            return range.devicePrefix + std::to_string(index);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> comPortPath(int portNumber)
{
    if (portNumber < 1)
        return std::nullopt;
    const std::string key = "COM" + std::to_string(portNumber);
    if (const char* fromEnv = std::getenv(("CFC_" + key).c_str()); fromEnv && fromEnv[0] != '\0')
        return std::string(fromEnv);
    if (const std::string dir = userConfigDir(); !dir.empty()) {
        std::string fromFile = readProfileString(dir + "/cfc/ports.ini", "Ports", key, "");
        if (!fromFile.empty())
            return fromFile;
    }
    return defaultPath(portNumber);
}

std::string resolvePortName(const std::string& name)
{
    const int number = comNumber(name);
    if (number < 0)
        return name;
    return comPortPath(number).value_or(std::string());
}

} // namespace plat
