#include "common/backend.h"
#include "common/virtual_port.h"
#include "plat/portmap.h"
#include "plat/serial.h"

#include <cerrno>

namespace plat {

namespace {
constexpr std::string_view kVirtualPrefix = "virtual:";
}

std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int* sysError)
{
    // The map may point a COM number at an in-memory line as well as at a
    // device, so resolve first and look for the prefix afterwards.
    const std::string path = resolvePortName(name);
    int error = 0;
    std::unique_ptr<SerialPort> port;
    if (path.empty())
        error = ENOENT;
    else if (path.starts_with(kVirtualPrefix))
        port = detail::openVirtualPort(path.substr(kVirtualPrefix.size()), &error);
    else
        port = detail::openDevicePort(path, &error);
    if (!port && sysError)
        *sysError = error;
    return port;
}

} // namespace plat
