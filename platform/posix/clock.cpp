#include "plat/clock.h"

#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace plat {

namespace {
constexpr uint64_t kNanosPerSecond = 1000000000u;
} // namespace

uint64_t counter()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * kNanosPerSecond + static_cast<uint64_t>(ts.tv_nsec);
}

uint64_t counterFrequency()
{
    return kNanosPerSecond;
}

void sleepMs(uint32_t ms)
{
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void yieldThread()
{
    ::sched_yield();
}

uint32_t currentThreadId()
{
    return static_cast<uint32_t>(::gettid());
}

int lastSystemError()
{
    return errno;
}

void setLastSystemError(int error)
{
    errno = error;
}

} // namespace plat
