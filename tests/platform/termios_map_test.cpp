// The termios mapping on its own, for the formats a pseudo-terminal cannot
// show (it forces 8 data bits without parity).
#include "posix/termios_map.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(TermiosMap, EveryFormatSurvivesTheRoundTrip)
{
    using plat::Parity;
    for (const uint8_t dataBits : {5, 6, 7, 8}) {
        for (const Parity parity :
             {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space}) {
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

// Each kind of flow control sets its own flags and clears every other kind's,
// so switching from one to another never leaves the old one in force.
TEST(TermiosMap, EachFlowControlSetsOnlyItsFlagsAndComesBack)
{
    using plat::FlowControl;
    struct Case {
        FlowControl flow;
        tcflag_t cflag;
        tcflag_t iflag;
    };
    const Case cases[] = {
        {FlowControl::RtsCts, CRTSCTS, 0},
        {FlowControl::XonXoff, 0, IXON | IXOFF},
        {FlowControl::None, 0, 0},
    };
    termios t{};
    // Whatever another program left on the port goes.
    t.c_cflag = CRTSCTS;
    t.c_iflag = IXON | IXOFF | IXANY | INPCK;
    for (const Case& c : cases) {
        plat::LineSettings settings;
        settings.flowControl = c.flow;
        settings.xonChar = 0x01;
        settings.xoffChar = 0x02;
        ASSERT_EQ(plat::detail::toTermios(settings, t), 0);
        EXPECT_EQ(t.c_cflag & CRTSCTS, c.cflag) << int(c.flow);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | INPCK), c.iflag) << int(c.flow);
        EXPECT_EQ(t.c_cc[VSTART], 0x01);
        EXPECT_EQ(t.c_cc[VSTOP], 0x02);

        plat::LineSettings back;
        plat::detail::fromTermios(t, back);
        EXPECT_EQ(back.flowControl, c.flow);
        EXPECT_EQ(back.xonChar, 0x01);
        EXPECT_EQ(back.xoffChar, 0x02);
    }
}

TEST(TermiosMap, FlowControlTheSystemLacksIsRefused)
{
    plat::LineSettings settings;
    settings.flowControl = plat::FlowControl::DtrDsr;
    termios t{};
#if defined(CDTR_IFLOW) && defined(CDSR_OFLOW)
    ASSERT_EQ(plat::detail::toTermios(settings, t), 0);
    EXPECT_TRUE(t.c_cflag & CDTR_IFLOW);
#else
    EXPECT_EQ(plat::detail::toTermios(settings, t), EINVAL);
#endif
}

} // namespace
