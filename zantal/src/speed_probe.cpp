#include "speed_probe.h"

#include <cstdlib>

namespace zantal {

namespace {

constexpr const char* kProbeSpeeds[] = {"9600",   "19200",  "38400", "57600",
                                        "115200", "230400", "460800"};

enum class Try { Accepted, CannotOpen, CannotRead, Refused };

Try trySpeed(const std::string& deviceName, const PortOpener& open, const char* speed)
{
    // Each try has the port to itself only while it runs: the port is closed
    // again whatever happens, before the next speed is tried.
    std::unique_ptr<plat::SerialPort> port = open(deviceName);
    if (!port)
        return Try::CannotOpen;
    plat::LineSettings settings;
    if (!port->getLineSettings(settings))
        return Try::CannotRead;
    settings.baudRate = static_cast<uint32_t>(std::atoi(speed));
    settings.dtr = true;
    settings.dataBits = 8;
    settings.parity = plat::Parity::None;
    settings.stopBits = plat::StopBits::One;
    return port->setLineSettings(settings) ? Try::Accepted : Try::Refused;
}

} // namespace

ProbeResult probeMaxSpeed(const std::string& deviceName, const PortOpener& open, std::string* best)
{
    const char* accepted = nullptr;
    for (const char* speed : kProbeSpeeds) {
        Try result = trySpeed(deviceName, open, speed);
        if (result == Try::CannotOpen)
            return ProbeResult::CannotOpen;
        if (result != Try::Accepted)
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
