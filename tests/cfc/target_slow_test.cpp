// The two cases whose fixed waits run to their ends: ten refused switch
// commands (about 10 s) and a firmware that never answers after the boot
// (100 probes, about 30 s).
#include "target_test_support.h"

namespace cfctest {
namespace {

using namespace cfc;

class TargetSlowTest : public TargetTest {};

TEST_F(TargetSlowTest, SwitchCommandAnsweredWithErrorTenTimes)
{
    sim::Options options;
    options.firmware.atAnswers = sim::AtAnswers::SwitchRefused;
    attach(sim::Mode::At, options);
    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 1), 0);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1"),
              10);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: check for answer..."), 10)
        << "every echo matched";
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode fails: at^sqwe=1 not correctly answered"), 1);
    EXPECT_EQ(module().mode(), sim::Mode::At);
}

TEST_F(TargetSlowTest, NoFirmwareAfterTheBootStillReleasesTheIgnition)
{
    sim::Options options;
    options.firmware.present = false;
    attach(sim::Mode::Off, options);
    EXPECT_EQ(ModuleBootServiceMode(cfctest::connectionOf(handle())), 0);
    EXPECT_EQ(module().counters().serviceBoots, 1u);
    EXPECT_TRUE(onNormalSettings());
    EXPECT_TRUE(
        tracedInOrder({"(CFC ) WaitForTargetSerialModeOtherThan failed, is 1",
                       "(CFC ) ModuleBootServiceMode: Set Ignition high / DTR logical low",
                       "(CFC ) ModuleBootServiceMode fails: No Communication with Module!?"}));
}

} // namespace
} // namespace cfctest
