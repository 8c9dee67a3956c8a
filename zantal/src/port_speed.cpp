// ZANTAL_GetMaxComPortSpeed: the highest probe speed a port accepts.
#include "zantal.h"

#include "speed_probe.h"
#include "text.h"
#include "win/escape.h"
#include "win/guarded.h"

#include <charconv>
#include <string_view>

namespace {

// Port names are bounded like every name the installation handles.
constexpr size_t kMaxPortName = 259;
constexpr size_t kSpeedBuffer = 7;

// The probe names the port as Windows does ("\\\\.\\COM<n>"); the platform
// takes the COM number and finds its device in the port map. Any other name
// is a device path already.
plat::PortLocation locationOf(const std::string& deviceName)
{
    std::string_view name = deviceName;
    if (name.starts_with("\\\\.\\"))
        name.remove_prefix(4);
    if (win::startsWithIgnoreCase(name, "COM")) {
        name.remove_prefix(3);
        int number = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
        // A number too large for any port maps to nothing, like COM0.
        if (!name.empty() && end == name.data() + name.size())
            return plat::PortLocation::com(error == std::errc() ? number : 0);
    }
    return plat::PortLocation::device(deviceName);
}

std::unique_ptr<plat::SerialPort> openExclusive(const std::string& deviceName)
{
    return plat::openSerialPort(locationOf(deviceName), nullptr);
}

} // namespace

extern "C" int32_t ZANTAL_GetMaxComPortSpeed(const char* port, char* speed)
{
    constexpr auto kCannotOpen = static_cast<int32_t>(zantal::ProbeResult::CannotOpen);
    return win::guarded(
        [&]() -> int32_t {
            auto name = zantal::boundedString(port, kMaxPortName);
            if (!name || !speed)
                return kCannotOpen;
            std::string best;
            auto result =
                zantal::probeMaxSpeed("\\\\.\\" + std::string(*name), openExclusive, &best);
            if (result == zantal::ProbeResult::Found)
                zantal::copyFitting(speed, kSpeedBuffer, best);
            if (result == zantal::ProbeResult::NoneAccepted)
                speed[0] = '\0';
            return static_cast<int32_t>(result);
        },
        kCannotOpen);
}
