// COM numbers onto tty devices: the user's map, then fixed ranges.
#include "common/backend.h"
#include "plat/portmap.h"
#include "plat/profile.h"

#include <array>

namespace plat::detail {

namespace {

struct DefaultRange {
    int first;
    int count;
    const char* devicePrefix;
    int firstDevice;
};

// Ports 1 to 30 have a connection slot each and every higher port shares
// slot 31, so the first USB and ACM adapters get numbers of their own below
// 31 as well: a program can drive several of them at once. The numbers from
// 33 up keep naming what they always named.
constexpr std::array<DefaultRange, 6> kDefaults{{
    {1, 4, "/dev/ttyS", 0},
    {5, 16, "/dev/ttyUSB", 0},
    {21, 10, "/dev/ttyACM", 0},
    {31, 2, "/dev/ttyS", 30},
    {33, 32, "/dev/ttyUSB", 0},
    {65, 32, "/dev/ttyACM", 0},
}};

std::optional<std::string> defaultPath(int portNumber)
{
    for (const DefaultRange& range : kDefaults) {
        const int index = portNumber - range.first;
        if (index >= 0 && index < range.count)
            return range.devicePrefix + std::to_string(range.firstDevice + index);
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
