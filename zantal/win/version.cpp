#include "win/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <sys/utsname.h>

namespace win {

namespace {

struct Reported {
    DWORD platform = VER_PLATFORM_LINUX;
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    bool basicOnly = false;
    char text[128] = {};
};

std::optional<Reported> injected()
{
    const char* value = std::getenv("ZANTAL_OS_VERSION");
    if (!value)
        return std::nullopt;
    std::string_view rest = value;
    Reported r;
    if (rest.starts_with("nt:"))
        r.platform = VER_PLATFORM_WIN32_NT;
    else if (rest.starts_with("win:"))
        r.platform = VER_PLATFORM_WIN32_WINDOWS;
    else
        return std::nullopt;
    rest.remove_prefix(rest.find(':') + 1);
    if (rest.ends_with(":basic")) {
        r.basicOnly = true;
        rest.remove_suffix(6);
    }
    unsigned major = 0, minor = 0;
    int used = 0;
    const std::string text(rest);
    if (std::sscanf(text.c_str(), "%u.%u%n", &major, &minor, &used) != 2 ||
        static_cast<size_t>(used) != text.size())
        return std::nullopt;
    r.major = major;
    r.minor = minor;
    return r;
}

Reported running()
{
    Reported r;
    utsname names{};
    if (uname(&names) == 0) {
        unsigned major = 0, minor = 0, patch = 0;
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &patch);
        r.major = major;
        r.minor = minor;
        r.build = patch;
        std::snprintf(r.text, sizeof r.text, "%s", names.release);
    }
    return r;
}

} // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    const Reported r = injected().value_or(running());
    const DWORD size = info ? info->dwOSVersionInfoSize : 0;
    const bool accepted =
        size == sizeof(OSVERSIONINFOA) || (size == sizeof(OSVERSIONINFOEXA) && !r.basicOnly);
    if (!accepted) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwPlatformId = r.platform;
    info->dwMajorVersion = r.major;
    info->dwMinorVersion = r.minor;
    info->dwBuildNumber = r.build;
    std::memcpy(info->szCSDVersion, r.text, sizeof r.text);
    return 1;
}

} // namespace win
