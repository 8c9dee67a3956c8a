// The wait hook: one per process, set by the program before its calls and
// called on the calling thread.
#include "cfc_progress.h"

#include "cfc.h"

#include "plat/clock.h"

#include <mutex>

namespace cfc {

namespace {

struct Hook {
    CfcWaitHook call = nullptr;
    void* context = nullptr;
};

// Set from any thread, read by every calling thread: each report takes a
// copy, so a hook changed meanwhile is never half seen.
std::mutex g_hookMutex;
Hook g_hook;

void report(int32_t wait, int32_t done, int32_t total)
{
    Hook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook.call != nullptr)
        hook.call(hook.context, wait, done, total);
}

constexpr uint32_t kSecondMs = 1000;

} // namespace

WaitProgress::WaitProgress(int32_t wait, int32_t total) : wait_(wait), total_(total)
{
    report(wait_, 0, total_);
}

WaitProgress::~WaitProgress()
{
    report(wait_, CFC_WAIT_ENDED, total_);
}

void WaitProgress::step(int32_t done) const
{
    report(wait_, done, total_);
}

void SleepWithProgress(int32_t wait, uint32_t ms)
{
    const auto seconds = static_cast<int32_t>((ms + kSecondMs - 1) / kSecondMs);
    const WaitProgress progress(wait, seconds);
    for (int32_t second = 1; ms > 0; ++second) {
        progress.step(second);
        const uint32_t slice = ms < kSecondMs ? ms : kSecondMs;
        plat::sleepMs(slice);
        ms -= slice;
    }
}

} // namespace cfc

extern "C" void WSetWaitHook(CfcWaitHook hook, void* context)
{
    std::lock_guard lock(cfc::g_hookMutex);
    cfc::g_hook = {hook, context};
}
