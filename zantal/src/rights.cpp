// ZANTAL_HasAdminRights: is the local Administrators group in the process
// token? Membership alone counts, enabled or deny-only.
#include "zantal.h"

#include "win/guarded.h"
#include "win/token.h"

#include <cstdint>
#include <vector>

namespace {

using namespace win;

// The first read's buffer; a longer group list is read again at its size.
constexpr DWORD kGroupBuffer = 1024;

bool readGroups(HANDLE token, std::vector<uint64_t>& storage)
{
    // uint64_t storage keeps the list aligned for its pointers.
    storage.assign(kGroupBuffer / sizeof(uint64_t), 0);
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenGroups, storage.data(), kGroupBuffer, &needed))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= kGroupBuffer)
        return false;
    storage.assign((needed + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    return GetTokenInformation(token, TokenGroups, storage.data(), needed, &needed);
}

int32_t hasAdminRights()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token))
        return 0;
    std::vector<uint64_t> storage;
    const bool read = readGroups(token, storage);
    CloseHandle(token);
    if (!read)
        return 0;

    PSID administrators = nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return 0;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(storage.data());
    const SID_AND_ATTRIBUTES* entries = groups->Groups;
    int32_t result = 0;
    for (DWORD i = 0; i < groups->GroupCount && !result; ++i)
        if (EqualSid(entries[i].Sid, administrators))
            result = 1;
    FreeSid(administrators);
    return result;
}

} // namespace

extern "C" int32_t ZANTAL_HasAdminRights(void)
{
    return guarded(hasAdminRights, int32_t{0});
}
