// The library's long waits as the front ends word them, and when they are
// worth a word at all.
#include "wait_progress.h"

#include "cfc.h"

#include <gtest/gtest.h>

namespace {

using frontend::WaitTracker;
using namespace std::chrono_literals;

TEST(WaitText, TheOutermostWaitSaysWhatTheInnerOnesHowFar)
{
    const struct {
        std::vector<frontend::WaitLevel> levels;
        std::string text;
    } cases[] = {
        {{}, ""},
        {{{CFC_WAIT_SWITCH_OFF, 3, 5}}, "waiting for the module to switch off, request 3 of 5"},
        {{{CFC_WAIT_SWITCH_OFF, 2, 5}, {CFC_WAIT_PROBES, 37, 100}},
         "waiting for the module to switch off, request 2 of 5, probe 37 of 100"},
        // A wait without counted steps, and a step not begun yet.
        {{{CFC_WAIT_FIRMWARE, 0, 0}, {CFC_WAIT_PROBES, 0, 100}},
         "waiting for the booted module's firmware"},
        {{{CFC_WAIT_PROBES, 4, 100}}, "probing the module, probe 4 of 100"},
        {{{CFC_WAIT_SIGNAL_TRACE, 7, 10}},
         "letting the module's last signals reach the signal-trace files, second 7 of 10"},
        // A kind this front end does not know is passed over.
        {{{99, 1, 2}, {CFC_WAIT_BOOT, 12, 200}},
         "looking for the module's bootloader, start pattern 12 of 200"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frontend::waitText(c.levels), c.text);
}

TEST(WaitTracker, ShowsAWaitOnlyOnceItHasLastedAndClearsItAtItsEnd)
{
    WaitTracker tracker;
    const WaitTracker::Clock::time_point start{};
    tracker.report(CFC_WAIT_SWITCH_OFF, 0, 5, start);
    tracker.report(CFC_WAIT_SWITCH_OFF, 1, 5, start);
    tracker.report(CFC_WAIT_PROBES, 0, 100, start + 100ms);
    tracker.report(CFC_WAIT_PROBES, 9, 100, start + 1900ms);
    EXPECT_EQ(tracker.text(start + 1900ms), "");
    // The inner waits come and go; the time counts from the outermost.
    tracker.report(CFC_WAIT_PROBES, CFC_WAIT_ENDED, 100, start + 2000ms);
    tracker.report(CFC_WAIT_SWITCH_OFF, 2, 5, start + 2000ms);
    tracker.report(CFC_WAIT_PROBES, 0, 100, start + 2000ms);
    tracker.report(CFC_WAIT_PROBES, 1, 100, start + 2100ms);
    EXPECT_EQ(tracker.text(start + 2100ms),
              "waiting for the module to switch off, request 2 of 5, probe 1 of 100");

    // The outer wait's end takes an inner one whose end went missing along.
    tracker.report(CFC_WAIT_SWITCH_OFF, CFC_WAIT_ENDED, 5, start + 3s);
    EXPECT_EQ(tracker.text(start + 3s), "");
    // A new wait starts its own time.
    tracker.report(CFC_WAIT_SIGNAL_TRACE, 0, 5, start + 4s);
    tracker.report(CFC_WAIT_SIGNAL_TRACE, 1, 5, start + 4s);
    EXPECT_EQ(tracker.text(start + 5s), "");
    EXPECT_NE(tracker.text(start + 6s), "");
    // An end or a step of a wait that never started changes nothing.
    tracker.report(CFC_WAIT_BOOT, 3, 200, start + 6s);
    tracker.report(CFC_WAIT_BOOT, CFC_WAIT_ENDED, 200, start + 6s);
    EXPECT_EQ(tracker.text(start + 6s),
              "letting the module's last signals reach the signal-trace files, second 1 of 5");
}

} // namespace
