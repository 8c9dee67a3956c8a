// Access tokens and security identifiers, as far as the rights check needs
// them: on Windows the system's calls. On Linux a process's token lists these
// groups, in this order:
//   S-1-1-0       Everyone
//   S-1-5-32-545  Users
//   S-1-22-2-<g>  each Unix group of the process (effective group first)
//   S-1-5-32-544  Administrators: enabled when the process runs as root;
//                 deny-only (present, not enabled) when only group root is
//                 among its groups, like an administrator's filtered token.
#pragma once

#include "win/types.h"

#ifdef _WIN32

namespace win {

using ::AllocateAndInitializeSid;
using ::CloseHandle;
using ::EqualSid;
using ::FreeSid;
using ::GetCurrentProcess;
using ::GetTokenInformation;
using ::OpenProcessToken;
using ::PSID;
using ::SID_AND_ATTRIBUTES;
using ::SID_IDENTIFIER_AUTHORITY;
using ::TOKEN_GROUPS;

} // namespace win

#else

namespace win {

using PSID = void*;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};

struct SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
};

struct TOKEN_GROUPS {
    DWORD GroupCount;
    SID_AND_ATTRIBUTES Groups[1];
};

enum TOKEN_INFORMATION_CLASS : DWORD { TokenUser = 1, TokenGroups = 2 };

inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD TOKEN_READ = 0x00020008;

inline constexpr DWORD SE_GROUP_MANDATORY = 0x1;
inline constexpr DWORD SE_GROUP_ENABLED_BY_DEFAULT = 0x2;
inline constexpr DWORD SE_GROUP_ENABLED = 0x4;
inline constexpr DWORD SE_GROUP_OWNER = 0x8;
inline constexpr DWORD SE_GROUP_USE_FOR_DENY_ONLY = 0x10;

inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
inline constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
inline constexpr DWORD DOMAIN_ALIAS_RID_USERS = 545;

HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
// The group list is written into `information` (which must be suitably
// aligned); when it does not fit, FALSE with ERROR_INSUFFICIENT_BUFFER and
// the needed size in *returnLength.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* information,
                         DWORD length, DWORD* returnLength);
BOOL CloseHandle(HANDLE handle);

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid);
BOOL EqualSid(PSID a, PSID b);
void* FreeSid(PSID sid);

} // namespace win

#endif
