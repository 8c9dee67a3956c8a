// The port speed probe: the probe list tried in order on a port opened anew
// for each speed, stopping at the first refusal.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zantal {

enum class ProbeResult : int32_t { Found = 0, NoneAccepted = 1, CannotOpen = 2 };

enum class SpeedTry { Accepted, CannotOpen, CannotRead, Refused };

// One try: open the device, read its line settings, set the speed with DTR
// on and 8 data bits, no parity, one stop bit, apply them, close the device.
using TrySpeed = std::function<SpeedTry(const std::string& deviceName, uint32_t baudRate)>;

// *best gets the last accepted speed's text when the result is Found.
ProbeResult probeMaxSpeed(const std::string& deviceName, const TrySpeed& trySpeed,
                          std::string* best);

// The try on this system's ports.
SpeedTry trySystemPort(const std::string& deviceName, uint32_t baudRate);

} // namespace zantal
