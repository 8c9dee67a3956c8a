// The ports the main window offers: COM<n> is there when the system has a
// default configuration for it. The port is not opened, so its DTR line,
// the module's ignition, is not moved.
#include "com_ports.h"

#include <string>
#include <windows.h>

namespace kestrix::win32 {

bool comPortConfigured(std::int32_t portNumber)
{
    // The configuration record of the original host, 52 bytes.
    constexpr DWORD configBytes = 52;
    static_assert(sizeof(COMMCONFIG) == configBytes);
    COMMCONFIG config{};
    DWORD size = configBytes;
    const std::string name = "COM" + std::to_string(portNumber);
    return GetDefaultCommConfigA(name.c_str(), &config, &size) != 0;
}

} // namespace kestrix::win32
