// The speed try over the platform's serial layer, which Linux uses: the
// layer finds a COM name's device in the port map.
#pragma once

#include "speed_probe.h"

#include "plat/serial.h"

#include <memory>

namespace zantal {

using PortOpener = std::function<std::unique_ptr<plat::SerialPort>(const std::string& deviceName)>;

SpeedTry tryOverSerialLayer(const PortOpener& open, const std::string& deviceName,
                            uint32_t baudRate);

} // namespace zantal
