#include "win/token.h"

#include "win/handle_table.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace win {

namespace {

constexpr SID_IDENTIFIER_AUTHORITY kWorldAuthority = {{0, 0, 0, 0, 0, 1}};
// The authority Unix identities are mapped under (S-1-22-2-<gid>).
constexpr SID_IDENTIFIER_AUTHORITY kUnixAuthority = {{0, 0, 0, 0, 0, 22}};
constexpr DWORD kUnixGroupDomain = 2;
constexpr BYTE kSidRevision = 1;
constexpr BYTE kMaxSubAuthorities = 15;
constexpr size_t kSidHeader = 8;

using SidBytes = std::string;

void appendLe32(SidBytes& out, DWORD value)
{
    std::array<uint8_t, 4> field{};
    plat::putLe32(field, 0, value);
    out.append(field.begin(), field.end());
}

SidBytes encodeSid(const SID_IDENTIFIER_AUTHORITY& authority, const DWORD* subs, size_t count)
{
    SidBytes sid;
    sid += static_cast<char>(kSidRevision);
    sid += static_cast<char>(count);
    sid.append(reinterpret_cast<const char*>(authority.Value), 6);
    for (size_t i = 0; i < count; ++i)
        appendLe32(sid, subs[i]);
    return sid;
}

SidBytes makeSid(const SID_IDENTIFIER_AUTHORITY& authority, std::initializer_list<DWORD> subs)
{
    return encodeSid(authority, subs.begin(), subs.size());
}

size_t sidLength(PSID sid)
{
    const auto* bytes = static_cast<const BYTE*>(sid);
    return kSidHeader + 4u * bytes[1];
}

bool validSid(PSID sid)
{
    if (!sid)
        return false;
    const auto* bytes = static_cast<const BYTE*>(sid);
    return bytes[0] == kSidRevision && bytes[1] <= kMaxSubAuthorities;
}

struct Group {
    SidBytes sid;
    DWORD attributes;
};

struct Token {
    std::vector<Group> groups;
};

HandleTable<Token> g_tokens(0x2000);

std::vector<Group> processGroups()
{
    constexpr DWORD kEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
    std::vector<Group> groups;
    groups.push_back({makeSid(kWorldAuthority, {0}), kEnabled});
    groups.push_back(
        {makeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}),
         kEnabled});

    std::vector<gid_t> gids{getegid()};
    int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> extra(static_cast<size_t>(count));
        count = getgroups(count, extra.data());
        if (count > 0)
            gids.insert(gids.end(), extra.begin(), extra.begin() + count);
    }
    std::vector<gid_t> listed;
    for (gid_t gid : gids) {
        if (std::find(listed.begin(), listed.end(), gid) != listed.end())
            continue;
        listed.push_back(gid);
        groups.push_back(
            {makeSid(kUnixAuthority, {kUnixGroupDomain, static_cast<DWORD>(gid)}), kEnabled});
    }

    const bool root = geteuid() == 0;
    const bool rootGroup = std::find(listed.begin(), listed.end(), gid_t{0}) != listed.end();
    if (root || rootGroup) {
        groups.push_back(
            {makeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}),
             root ? kEnabled | SE_GROUP_OWNER : SE_GROUP_USE_FOR_DENY_ONLY});
    }
    return groups;
}

} // namespace

HANDLE GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(~uintptr_t{0}); // the pseudo handle "current process"
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token)
{
    if (!token || process != GetCurrentProcess() || !(access & TOKEN_QUERY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *token = g_tokens.add<HANDLE>(std::make_shared<Token>(Token{processGroups()}));
    return 1;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* information,
                         DWORD length, DWORD* returnLength)
{
    auto found = g_tokens.find(token);
    if (!found) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::vector<Group>& groups = found->groups;
    if (infoClass != TokenGroups || !returnLength) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The list, then the identifiers it points at, in one block.
    const size_t listBytes =
        offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    size_t needed = listBytes;
    for (const Group& g : groups)
        needed += g.sid.size();
    *returnLength = static_cast<DWORD>(needed);
    if (!information || length < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (reinterpret_cast<uintptr_t>(information) % alignof(TOKEN_GROUPS) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto* list = static_cast<TOKEN_GROUPS*>(information);
    auto* sids = static_cast<BYTE*>(information) + listBytes;
    list->GroupCount = static_cast<DWORD>(groups.size());
    SID_AND_ATTRIBUTES* entries = list->Groups;
    for (size_t i = 0; i < groups.size(); ++i) {
        std::memcpy(sids, groups[i].sid.data(), groups[i].sid.size());
        entries[i].Sid = sids;
        entries[i].Attributes = groups[i].attributes;
        sids += groups[i].sid.size();
    }
    return 1;
}

BOOL CloseHandle(HANDLE handle)
{
    if (g_tokens.remove(handle))
        return 1;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid)
{
    if (!authority || !sid || subAuthorityCount > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD subs[8] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
    SidBytes bytes = encodeSid(*authority, subs, subAuthorityCount);
    auto* block = new (std::nothrow) BYTE[bytes.size()];
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::memcpy(block, bytes.data(), bytes.size());
    *sid = block;
    return 1;
}

BOOL EqualSid(PSID a, PSID b)
{
    if (!validSid(a) || !validSid(b))
        return 0;
    const size_t length = sidLength(a);
    return length == sidLength(b) && std::memcmp(a, b, length) == 0;
}

void* FreeSid(PSID sid)
{
    delete[] static_cast<BYTE*>(sid);
    return nullptr;
}

} // namespace win
