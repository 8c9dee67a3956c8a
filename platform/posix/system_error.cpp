#include "plat/system_error.h"

#include <cerrno>
#include <cstring>

namespace plat {

std::string systemErrorText(int sysError)
{
    char buffer[256];
    // The GNU variant may return a static text instead of filling the buffer.
    return ::strerror_r(sysError, buffer, sizeof buffer);
}

} // namespace plat
