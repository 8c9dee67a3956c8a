// The simulator on a pseudo-terminal, as the cfcsim program serves it.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

TEST(SimulatorPty, AnswersAHostThatOpensTheSlaveAgainAndAgain)
{
    std::string slavePath;
    int sysError = 0;
    auto transport = sim::openPtyTransport(&slavePath, &sysError);
    ASSERT_NE(transport, nullptr) << "system error " << sysError;
    sim::Simulator simulator(std::move(transport));
    ASSERT_TRUE(simulator.start());

    // The second opening finds the line as the first left it.
    for (int opening = 0; opening < 2; ++opening) {
        HostEnd host(slavePath);
        ASSERT_TRUE(host.isOpen());
        host.send(frameOf({0x61, 0x62, 0x63}));
        EXPECT_EQ(host.receiveByte(), 0x06);

        auto sent = simulator.sendMessage(2, {0x0D, 0x0A});
        EXPECT_EQ(host.receiveFrame(), frameOf({0xD6, 0xFF, 0x02, 0x00, 0x02, 0x00, 0x0D, 0x0A}));
        host.send({0x06});
        EXPECT_TRUE(sent.get());
    }
}

} // namespace
} // namespace simtest
