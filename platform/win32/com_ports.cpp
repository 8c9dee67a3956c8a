// COM numbers are the system's own device names; nothing maps them.
#include "common/backend.h"

namespace plat::detail {

std::optional<std::string> systemComPortPath(int portNumber)
{
    // The device namespace form reaches COM10 and above too.
    return "\\\\.\\COM" + std::to_string(portNumber);
}

} // namespace plat::detail
