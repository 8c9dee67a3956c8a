// The port settings a production program keeps between runs. They belong to
// the user, not to a connection: no handle, no trace.
#include "cfc.h"

#include "plat/port_settings.h"

namespace {
constexpr uint8_t kDefaultPort = 1;
constexpr uint32_t kDefaultBaudRate = 115200;
} // namespace

extern "C" {

int32_t WWritePortSettings(uint8_t port, uint32_t baudRate)
{
    return plat::writePortSettings(port, baudRate) ? 1 : 0;
}

int32_t WReadPortSettings(uint8_t* pPort, uint32_t* pBaudRate)
{
    uint8_t port = kDefaultPort;
    const bool stored = plat::readPortSettings(&port);
    if (pPort != nullptr)
        *pPort = port;
    // Only the port is read back: the speed is the service protocol's.
    if (pBaudRate != nullptr)
        *pBaudRate = kDefaultBaudRate;
    return stored ? 1 : 0;
}

} // extern "C"
