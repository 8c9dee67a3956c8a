// The port speed probe: the probe list tried in order on a port opened anew
// for each speed, stopping at the first refusal.
#pragma once

#include "plat/serial.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zantal {

enum class ProbeResult : int32_t { Found = 0, NoneAccepted = 1, CannotOpen = 2 };

using PortOpener = std::function<std::unique_ptr<plat::SerialPort>(const std::string& deviceName)>;

// *best gets the last accepted speed's text when the result is Found.
ProbeResult probeMaxSpeed(const std::string& deviceName, const PortOpener& open, std::string* best);

} // namespace zantal
