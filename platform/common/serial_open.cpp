#include "common/backend.h"
#include "common/virtual_port.h"
#include "plat/portmap.h"
#include "plat/serial.h"

#include <cerrno>

namespace plat {

namespace {
constexpr std::string_view kVirtualPrefix = "virtual:";
} // namespace

std::unique_ptr<SerialPort> openSerialPort(const PortLocation& where, OpenError* error)
{
    // The map may point a COM number at an in-memory line as well as at a
    // device, so resolve first and look for the prefix afterwards.
    const std::string path =
        where.path.empty() ? comPortPath(where.comNumber).value_or(std::string()) : where.path;
    int sysError = 0;
    std::unique_ptr<SerialPort> port;
    if (path.empty())
        sysError = ENOENT;
    else if (path.starts_with(kVirtualPrefix))
        port = detail::openVirtualPort(path.substr(kVirtualPrefix.size()), &sysError);
    else
        port = detail::openDevicePort(path, &sysError);
    if (error)
        *error = OpenError{port ? 0 : sysError, path};
    return port;
}

std::unique_ptr<SerialPort> openSerialPort(const std::string& path, int* sysError)
{
    OpenError error;
    std::unique_ptr<SerialPort> port = openSerialPort(PortLocation::device(path), &error);
    if (!port && sysError)
        *sysError = error.sysError;
    return port;
}

} // namespace plat
