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
    return path && plat::serialPortPresent(*path) && !plat::isKernelConsole(*path);
}

} // namespace kestrix
