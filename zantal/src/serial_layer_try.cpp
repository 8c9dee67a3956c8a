#include "serial_layer_try.h"

#include "win/escape.h"

#include <charconv>
#include <string_view>

namespace zantal {

namespace {

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

SpeedTry tryOverSerialLayer(const PortOpener& open, const std::string& deviceName,
                            uint32_t baudRate)
{
    // Each try has the port to itself only while it runs: the port is closed
    // again whatever happens, before the next speed is tried.
    std::unique_ptr<plat::SerialPort> port = open(deviceName);
    if (!port)
        return SpeedTry::CannotOpen;
    plat::LineSettings settings;
    if (!port->getLineSettings(settings))
        return SpeedTry::CannotRead;
    settings.baudRate = baudRate;
    settings.dtr = true;
    settings.dataBits = 8;
    settings.parity = plat::Parity::None;
    settings.stopBits = plat::StopBits::One;
    return port->setLineSettings(settings) ? SpeedTry::Accepted : SpeedTry::Refused;
}

SpeedTry trySystemPort(const std::string& deviceName, uint32_t baudRate)
{
    return tryOverSerialLayer(openExclusive, deviceName, baudRate);
}

} // namespace zantal
