// The library's long waits as the front ends show them: which wait runs,
// how far it is, and whether it has run long enough to be worth a word.
// Fed by the library's wait hook (WSetWaitHook); shared by vornax's
// terminal line and kestrix's window.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace frontend {

// A wait shorter than this passes without a word.
inline constexpr auto kShowWaitAfter = std::chrono::seconds(2);

struct WaitLevel {
    std::int32_t wait = 0;
    std::int32_t done = 0;
    std::int32_t total = 0;
};

// "waiting for the module to switch off, request 2 of 5, probe 37 of 100"
// for the waits from the outermost in; empty for none.
std::string waitText(const std::vector<WaitLevel>& levels);

class WaitTracker {
public:
    using Clock = std::chrono::steady_clock;

    // One call of the library's hook.
    void report(std::int32_t wait, std::int32_t done, std::int32_t total, Clock::time_point now);
    // What to show now: empty when no wait runs or the outermost one is
    // younger than kShowWaitAfter.
    std::string text(Clock::time_point now) const;

private:
    std::vector<WaitLevel> levels_;
    Clock::time_point since_{};
};

} // namespace frontend
