#include "win/version.h"

#include <cstdio>
#include <cstring>
#include <sys/utsname.h>

namespace win {

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwPlatformId = VER_PLATFORM_LINUX;
    utsname names{};
    if (uname(&names) == 0) {
        unsigned major = 0, minor = 0, patch = 0;
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &patch);
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
        info->dwBuildNumber = patch;
        std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", names.release);
    }
    return 1;
}

} // namespace win
