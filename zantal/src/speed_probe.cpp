#include "speed_probe.h"

#include <cstdlib>

namespace zantal {

namespace {

constexpr const char* kProbeSpeeds[] = {"9600",   "19200",  "38400", "57600",
                                        "115200", "230400", "460800"};

} // namespace

ProbeResult probeMaxSpeed(const std::string& deviceName, const TrySpeed& trySpeed,
                          std::string* best)
{
    const char* accepted = nullptr;
    for (const char* speed : kProbeSpeeds) {
        const SpeedTry result = trySpeed(deviceName, static_cast<uint32_t>(std::atoi(speed)));
        if (result == SpeedTry::CannotOpen)
            return ProbeResult::CannotOpen;
        if (result != SpeedTry::Accepted)
            break;
        accepted = speed;
    }
    if (!accepted)
        return ProbeResult::NoneAccepted;
    if (best)
        *best = accepted;
    return ProbeResult::Found;
}

} // namespace zantal
