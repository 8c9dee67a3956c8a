#include "wait_progress.h"

#include "cfc.h"

#include <algorithm>

namespace frontend {
namespace {

struct WaitWords {
    std::int32_t wait;
    const char* what;
    const char* step; // what one counted step is
};

constexpr WaitWords kWords[] = {
    {CFC_WAIT_PROBES, "probing the module", "probe"},
    {CFC_WAIT_EMMI, "waiting for the module to switch to EMMI", "attempt"},
    {CFC_WAIT_BOOT, "looking for the module's bootloader", "start pattern"},
    {CFC_WAIT_FIRMWARE, "waiting for the booted module's firmware", "step"},
    {CFC_WAIT_SWITCH_OFF, "waiting for the module to switch off", "request"},
    {CFC_WAIT_SIGNAL_TRACE, "letting the module's last signals reach the signal-trace files",
     "second"},
};

const WaitWords* wordsOf(std::int32_t wait)
{
    for (const WaitWords& words : kWords)
        if (words.wait == wait)
            return &words;
    return nullptr;
}

} // namespace

std::string waitText(const std::vector<WaitLevel>& levels)
{
    std::string text;
    for (const WaitLevel& level : levels) {
        const WaitWords* words = wordsOf(level.wait);
        if (words == nullptr)
            continue;
        // The outermost wait says what is awaited; the inner ones only add
        // how far they are.
        if (text.empty())
            text = words->what;
        if (level.total > 0 && level.done > 0)
            text += std::string(", ") + words->step + " " + std::to_string(level.done) + " of " +
                    std::to_string(level.total);
    }
    return text;
}

void WaitTracker::report(std::int32_t wait, std::int32_t done, std::int32_t total,
                         Clock::time_point now)
{
    if (done == 0) {
        if (levels_.empty())
            since_ = now;
        levels_.push_back({wait, 0, total});
        return;
    }
    // The innermost wait of that kind; one that ended drops the waits
    // inside it too, should their ends have gone missing.
    const auto level = std::find_if(levels_.rbegin(), levels_.rend(),
                                    [wait](const WaitLevel& l) { return l.wait == wait; });
    if (level == levels_.rend())
        return;
    if (done == CFC_WAIT_ENDED)
        levels_.erase(std::prev(level.base()), levels_.end());
    else
        level->done = done;
}

std::string WaitTracker::text(Clock::time_point now) const
{
    if (levels_.empty() || now - since_ < kShowWaitAfter)
        return {};
    return waitText(levels_);
}

} // namespace frontend
