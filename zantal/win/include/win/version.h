// The operating-system version query: on Windows the system's. On Linux this
// layer reports the running kernel
// (uname) under a platform identifier of its own, so callers that tell the
// Windows versions apart count it as "another system".
//
// ZANTAL_OS_VERSION, when set, names the system to report instead, so the
// branches a caller takes for the original host's versions can be run here:
//   "nt:<major>.<minor>"     an NT-platform system ("nt:5.0" Windows 2000);
//   "win:<major>.<minor>"    a system of the older, non-NT platform;
//   either with ":basic"     a system that answers only the basic record
//                            (148 bytes) and refuses the extended one.
// A value of another form is ignored and the kernel reported.
#pragma once

#include "win/types.h"

#ifdef _WIN32

namespace win {

using ::GetVersionExA;
using ::OSVERSIONINFOA;
using ::OSVERSIONINFOEXA;

} // namespace win

#else

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

#endif
