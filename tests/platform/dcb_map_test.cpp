// The device-control block mapping on its own: Wine's serial ports accept
// most blocks without a device behind them, so what the driver would be
// told is checked here.
#include "win32/dcb_map.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using plat::FlowControl;
using plat::LineSettings;

TEST(DcbMap, EveryFormatAndFlowControlSurvivesTheRoundTrip)
{
    using plat::Parity;
    using plat::StopBits;
    for (const uint8_t dataBits : {5, 6, 7, 8})
        for (const Parity parity :
             {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
            for (const StopBits stopBits : {StopBits::One, StopBits::OneAndHalf, StopBits::Two})
                for (const FlowControl flow : {FlowControl::None, FlowControl::RtsCts,
                                               FlowControl::DtrDsr, FlowControl::XonXoff}) {
                    LineSettings asked;
                    asked.baudRate = 57600;
                    asked.dataBits = dataBits;
                    asked.parity = parity;
                    asked.stopBits = stopBits;
                    asked.flowControl = flow;
                    asked.xonChar = 0x21;
                    asked.xoffChar = 0x22;
                    DCB dcb{};
                    plat::detail::toDcb(asked, dcb);
                    LineSettings back;
                    plat::detail::fromDcb(dcb, back);
                    EXPECT_EQ(back, asked) << int(dataBits) << " bits, parity " << int(parity)
                                           << ", stop " << int(stopBits) << ", flow " << int(flow);
                }
}

TEST(DcbMap, TheModuleLineIsAPlainBinaryLineWithDtrLowAndRtsHigh)
{
    LineSettings module;
    module.baudRate = 115200;
    module.stopBits = plat::StopBits::Two;
    module.rts = true;
    module.xonChar = 0;
    module.xoffChar = 1;
    // Whatever an earlier program left in the block must not survive.
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    plat::detail::toDcb(module, dcb);

    EXPECT_EQ(dcb.DCBlength, sizeof dcb);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fParity);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, unsigned{DTR_CONTROL_DISABLE});
    EXPECT_FALSE(dcb.fDsrSensitivity);
    EXPECT_TRUE(dcb.fTXContinueOnXoff);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_FALSE(dcb.fErrorChar);
    EXPECT_FALSE(dcb.fNull);
    EXPECT_EQ(dcb.fRtsControl, unsigned{RTS_CONTROL_ENABLE});
    EXPECT_FALSE(dcb.fAbortOnError);
    EXPECT_EQ(dcb.XonLim, 0);
    EXPECT_EQ(dcb.XoffLim, 0);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.XonChar, 0);
    EXPECT_EQ(dcb.XoffChar, 1);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
}

TEST(DcbMap, FlowControlHandsItsLineToTheDriverAndTheOtherFollowsTheSettings)
{
    struct Case {
        FlowControl flow;
        bool dtr;
        bool rts;
        DWORD dtrControl;
        DWORD rtsControl;
    };
    const Case cases[] = {
        {FlowControl::None, true, false, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {FlowControl::RtsCts, false, false, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
        {FlowControl::DtrDsr, false, true, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_ENABLE},
        {FlowControl::XonXoff, true, true, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
    };
    for (const Case& c : cases) {
        LineSettings asked;
        asked.flowControl = c.flow;
        asked.dtr = c.dtr;
        asked.rts = c.rts;
        DCB dcb{};
        plat::detail::toDcb(asked, dcb);
        EXPECT_EQ(dcb.fDtrControl, c.dtrControl) << int(c.flow);
        EXPECT_EQ(dcb.fRtsControl, c.rtsControl) << int(c.flow);

        // Levels are the port's to remember: reading the block back keeps
        // what the caller had, a level driven by hand included.
        LineSettings back;
        back.dtr = !c.dtr;
        back.rts = !c.rts;
        plat::detail::fromDcb(dcb, back);
        EXPECT_EQ(back.dtr, !c.dtr);
        EXPECT_EQ(back.rts, !c.rts);
    }
}

TEST(DcbMap, ADriverThatRoundsTheRateOrDropsTheFlowControlIsSeen)
{
    LineSettings asked;
    asked.baudRate = 115200;
    asked.flowControl = FlowControl::RtsCts;
    DCB sent{};
    plat::detail::toDcb(asked, sent);
    EXPECT_TRUE(plat::detail::sameFormat(sent, sent));

    DCB rounded = sent;
    rounded.BaudRate = 115384;
    EXPECT_FALSE(plat::detail::sameFormat(sent, rounded));

    DCB noFlow = sent;
    noFlow.fOutxCtsFlow = FALSE;
    EXPECT_FALSE(plat::detail::sameFormat(sent, noFlow));

    // The modem line levels are not part of the format.
    DCB otherDtr = sent;
    otherDtr.fDtrControl = DTR_CONTROL_ENABLE;
    EXPECT_TRUE(plat::detail::sameFormat(sent, otherDtr));
}

} // namespace
