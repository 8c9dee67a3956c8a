#include "port_list.h"

#include "plat/port_probe.h"
#include "plat/portmap.h"

namespace kestrix {

std::vector<std::string> buildPortList(const PortProbe& present)
{
    std::vector<std::string> names;
    for (std::int32_t n = firstListedPort; n <= lastListedPort; ++n)
        if (present(n))
            names.push_back("COM" + std::to_string(n));
    return names;
}

bool comPortPresent(std::int32_t portNumber)
{
    const auto path = plat::comPortPath(portNumber);
    if (!path || !plat::serialPortPresent(*path) || plat::isKernelConsole(*path))
        return false;
    // The first USB and ACM adapters have a low number and a high one; the
    // list offers each device once, under its lower number.
    for (std::int32_t lower = firstListedPort; lower < portNumber; ++lower)
        if (plat::comPortPath(lower) == path)
            return false;
    return true;
}

} // namespace kestrix
