#include "plat/clock.h"

#include <windows.h>

namespace plat {

uint64_t counter()
{
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

uint64_t counterFrequency()
{
    // Fixed at boot; asking once is enough.
    static const uint64_t frequency = [] {
        LARGE_INTEGER value{};
        ::QueryPerformanceFrequency(&value);
        return static_cast<uint64_t>(value.QuadPart);
    }();
    return frequency;
}

void sleepMs(uint32_t ms)
{
    ::Sleep(ms);
}

void yieldThread()
{
    ::SwitchToThread();
}

uint32_t currentThreadId()
{
    return static_cast<uint32_t>(::GetCurrentThreadId());
}

int lastSystemError()
{
    return static_cast<int>(::GetLastError());
}

void setLastSystemError(int error)
{
    ::SetLastError(static_cast<DWORD>(error));
}

} // namespace plat
