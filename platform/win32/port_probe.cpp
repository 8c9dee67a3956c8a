// Serial port presence from the port's default configuration, never by
// opening it: an open raises DTR.
#include "plat/port_probe.h"

#include <windows.h>

#include <vector>

namespace plat {

namespace {

// "COM3" from "\\.\COM3".
std::string deviceName(const std::string& path)
{
    for (const char* prefix : {"\\\\.\\", "//./"})
        if (path.rfind(prefix, 0) == 0)
            return path.substr(4);
    return path;
}

} // namespace

bool serialPortPresent(const std::string& path)
{
    const std::string name = deviceName(path);
    if (name.empty())
        return false;
    COMMCONFIG config{};
    DWORD size = sizeof config;
    if (::GetDefaultCommConfigA(name.c_str(), &config, &size))
        return true;
    // Some providers append data of their own to the record.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= sizeof config)
        return false;
    std::vector<unsigned char> buffer(size);
    return ::GetDefaultCommConfigA(name.c_str(), reinterpret_cast<COMMCONFIG*>(buffer.data()),
                                   &size) != FALSE;
}

bool isKernelConsole(const std::string&)
{
    // Windows has no console on a serial line that a program could disturb.
    return false;
}

} // namespace plat
