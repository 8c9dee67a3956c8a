// ZANTAL_GetMaxComPortSpeed: the highest probe speed a port accepts.
#include "zantal.h"

#include "speed_probe.h"
#include "text.h"
#include "win/guarded.h"

namespace {

// Port names are bounded like every name the installation handles.
constexpr size_t kMaxPortName = 259;
constexpr size_t kSpeedBuffer = 7;

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
                zantal::probeMaxSpeed("\\\\.\\" + std::string(*name), zantal::trySystemPort, &best);
            if (result == zantal::ProbeResult::Found)
                zantal::copyFitting(speed, kSpeedBuffer, best);
            if (result == zantal::ProbeResult::NoneAccepted)
                speed[0] = '\0';
            return static_cast<int32_t>(result);
        },
        kCannotOpen);
}
