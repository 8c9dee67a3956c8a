// COM numbers onto tty devices: the user's map, then fixed ranges.
#include "common/backend.h"
#include "plat/portmap.h"
#include "plat/profile.h"

#include <array>

namespace plat::detail {

namespace {

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

std::optional<std::string> systemComPortPath(int portNumber)
{
    if (const std::string dir = userConfigDir(); !dir.empty()) {
        const std::string key = "COM" + std::to_string(portNumber);
        std::string fromFile = readProfileString(dir + "/cfc/ports.ini", "Ports", key, "");
        if (!fromFile.empty())
            return fromFile;
    }
    return defaultPath(portNumber);
}

} // namespace plat::detail
