#include "plat/system_error.h"

#include <cerrno>

namespace plat {

OpenProblem classifyOpenError(int sysError)
{
    switch (sysError) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return OpenProblem::NoDevice;
    case EACCES:
    case EPERM: return OpenProblem::Denied;
    case EBUSY: return OpenProblem::Busy;
    default: return OpenProblem::Other;
    }
}

} // namespace plat
