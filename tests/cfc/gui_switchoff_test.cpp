// kestrix's switch-off: before switching the module off it waits 10 s for the
// module's signal trace, but only when the program asked for that wait, the
// signal trace is on and the module was asked to report something.
#include "main_path_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace cfctest;

namespace {

constexpr const char* kDrainLine = "(CFC ) WSwitchOff: let nimbo trace come out... (10 secs)";

class GuiSwitchOff : public MainPathTest {
protected:
    GuiSwitchOff() : MainPathTest(13, "gui-switchoff") { WSetSwitchOffDrainWait(1); }
    ~GuiSwitchOff() override { WSetSwitchOffDrainWait(0); }

    void configureSignalTrace(int32_t enable, uint16_t bases, uint16_t signals)
    {
        connection().signals.enable.store(enable);
        connection().signals.lists.baseCount = bases;
        connection().signals.lists.addedCount = signals;
    }
};

TEST_F(GuiSwitchOff, WaitsTenSecondsWhenTheModuleReportsSignals)
{
    startModule(firmwareOptions(sim::OperationMode::Service));
    configureSignalTrace(1, 0, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000));
    EXPECT_TRUE(
        inOrder(newTraceLines(), {"(CFC ) WSwitchOff: check for normal mode (call may be active!)",
                                  kDrainLine, "(CFC ) WSwitchOff: call CFCRPCSwitchOff..."}));
    configureSignalTrace(0, 0, 0);
}

TEST_F(GuiSwitchOff, NoWaitForAProgramThatDidNotAskForIt)
{
    WSetSwitchOffDrainWait(0);
    startModule(firmwareOptions(sim::OperationMode::Service));
    configureSignalTrace(1, 0, 1);
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_FALSE(inOrder(newTraceLines(), {kDrainLine}));
    configureSignalTrace(0, 0, 0);
}

TEST_F(GuiSwitchOff, NoWaitWithoutSignalTraceOrWithoutRequests)
{
    for (const auto& [enable, bases] : {std::pair{0, 1}, std::pair{1, 0}}) {
        startModule(firmwareOptions(sim::OperationMode::Service));
        configureSignalTrace(enable, static_cast<uint16_t>(bases), 0);
        EXPECT_EQ(WSwitchOff(handle_), 1);
        EXPECT_FALSE(inOrder(newTraceLines(), {kDrainLine}))
            << "enable " << enable << ", bases " << bases;
        configureSignalTrace(0, 0, 0);
    }
}

} // namespace
