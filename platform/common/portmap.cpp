#include "plat/portmap.h"

#include "common/backend.h"

#include <cstdlib>

namespace plat {

std::optional<std::string> comPortPath(int portNumber)
{
    if (portNumber < 1)
        return std::nullopt;
    // The variable also leads a COM number to an in-memory line, which is
    // how tests and the simulator stand in for a module on every system.
    const std::string key = "CFC_COM" + std::to_string(portNumber);
    if (const char* fromEnv = std::getenv(key.c_str()); fromEnv && fromEnv[0] != '\0')
        return std::string(fromEnv);
    return detail::systemComPortPath(portNumber);
}

} // namespace plat
