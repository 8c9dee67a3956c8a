#include "win/types.h"

#include <cstring>

namespace win {

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}
void SetLastError(DWORD error)
{
    t_lastError = error;
}

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

} // namespace win
