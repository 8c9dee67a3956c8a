// The termios mapping on its own, for the formats a pseudo-terminal cannot
// show (it forces 8 data bits without parity).
#include "posix/termios_map.h"

#include <gtest/gtest.h>

namespace {

TEST(TermiosMap, EveryFormatSurvivesTheRoundTrip)
{
    using plat::Parity;
    for (const uint8_t dataBits : {5, 6, 7, 8}) {
        for (const Parity parity : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space}) {
            plat::LineSettings asked;
            asked.baudRate = 460800;
            asked.dataBits = dataBits;
            asked.parity = parity;
            asked.stopBits = plat::StopBits::Two;
            termios t{};
            ASSERT_EQ(plat::detail::toTermios(asked, t), 0);
            EXPECT_TRUE(t.c_cflag & CLOCAL);
            plat::LineSettings back;
            plat::detail::fromTermios(t, back);
            EXPECT_EQ(back.dataBits, dataBits);
            EXPECT_EQ(back.parity, parity);
            EXPECT_EQ(back.stopBits, plat::StopBits::Two);
            EXPECT_EQ(back.baudRate, 460800u);
        }
    }
}

TEST(TermiosMap, FlowControlFlags)
{
    plat::LineSettings settings;
    termios t{};
    ASSERT_EQ(plat::detail::toTermios(settings, t), 0);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));

    settings.rtsControl = plat::LineControl::Handshake;
    settings.xonXoffIn = true;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    ASSERT_EQ(plat::detail::toTermios(settings, t), 0);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
}

} // namespace
