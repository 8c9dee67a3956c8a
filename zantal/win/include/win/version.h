// The operating-system version query. This layer reports the running kernel
// (uname) under a platform identifier of its own, so callers that tell the
// Windows versions apart count it as "another system".
#pragma once

#include "win/types.h"

namespace win {

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Ours: a Linux kernel.
inline constexpr DWORD VER_PLATFORM_LINUX = 0x4C;

// Fills the record whose dwOSVersionInfoSize says 148 or 156 bytes; FALSE
// with ERROR_INVALID_PARAMETER for any other size.
BOOL GetVersionExA(OSVERSIONINFOA* info);

} // namespace win
