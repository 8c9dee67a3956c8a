#include "plat/system_error.h"

#include <cerrno>
#include <cstring>

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

std::string systemErrorText(int sysError)
{
    char buffer[256];
    // The GNU variant may return a static text instead of filling the buffer.
    return ::strerror_r(sysError, buffer, sizeof buffer);
}

} // namespace plat
