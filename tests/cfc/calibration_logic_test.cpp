// The calibration operations with logic of their own: the built bursts and
// the slots that carry them, the register sequences, the gain code table,
// the AT command waits and the spread of the AGC measure points.
#include "cfc.h"
#include "cfc_burst.h"
#include "cfcrpc_catalogue.h"
#include "cfcrpc_engine.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

// The burst's bits back out of its words, first bit from bit 15.
std::vector<uint8_t> unpacked(const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> bits;
    for (const uint16_t word : words)
        for (int bit = 15; bit >= 0; --bit)
            bits.push_back(static_cast<uint8_t>((word >> bit) & 1));
    return bits;
}

TEST(CfcBurst, TrainingSequencesHaveTheCyclicShapeOfTheStandard)
{
    // Each sequence is a 16-bit core with its last five bits before it and
    // its first five after it; a mistyped bit breaks the shape.
    for (uint8_t tsc = 0; tsc < 8; ++tsc) {
        SCOPED_TRACE(tsc);
        const auto gmsk = cfc::TrainingSequence(tsc, 1);
        ASSERT_EQ(gmsk.size(), 26u);
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(gmsk[i], gmsk[16 + i]);
            EXPECT_EQ(gmsk[21 + i], gmsk[5 + i]);
        }
        const auto psk8 = cfc::TrainingSequence(tsc, 3);
        ASSERT_EQ(psk8.size(), 78u);
        for (size_t i = 0; i < 26; ++i) {
            const std::vector<uint8_t> symbol(psk8.begin() + 3 * i, psk8.begin() + 3 * i + 3);
            EXPECT_EQ(symbol,
                      gmsk[i] ? (std::vector<uint8_t>{0, 0, 1}) : (std::vector<uint8_t>{1, 1, 1}));
        }
    }
    EXPECT_TRUE(cfc::TrainingSequence(8, 1).empty());
    // TSC 0 as the standard writes it.
    const auto tsc0 = cfc::TrainingSequence(0, 1);
    EXPECT_EQ(std::vector<uint8_t>(tsc0.begin(), tsc0.end()),
              (std::vector<uint8_t>{0, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0,
                                    0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 1, 1}));
}

TEST(CfcBurst, DataModesPackFirstBitIntoBit15)
{
    std::vector<uint16_t> gmsk(10);
    ASSERT_TRUE(cfc::BuildCfcBurst(1, 0, false, gmsk));
    EXPECT_EQ(gmsk[0], 0xFFFF);
    EXPECT_EQ(gmsk[9], 0xFFF0) << "156 bits: the last word filled up with zeros";

    ASSERT_TRUE(cfc::BuildCfcBurst(2, 0, false, gmsk));
    EXPECT_EQ(gmsk[0], 0x0AAA);
    EXPECT_EQ(gmsk[9], 0x8FF0);

    for (const uint8_t mode : {3, 4}) {
        for (const bool psk8 : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (psk8 ? " 8PSK" : " GMSK"));
            const size_t c = psk8 ? 3 : 1;
            std::vector<uint16_t> words(10 * c);
            ASSERT_TRUE(cfc::BuildCfcBurst(mode, 5, psk8, words));
            const std::vector<uint8_t> bits = unpacked(words);
            const auto tsc = cfc::TrainingSequence(5, c);
            EXPECT_TRUE(std::equal(tsc.begin(), tsc.end(), bits.begin() + 61 * c));
            EXPECT_EQ(bits[3 * c], mode == 3 ? 1 : 0);
            EXPECT_EQ(bits[148 * c], 1) << "the tail of ones";
            EXPECT_EQ(bits[156 * c], 0);
        }
    }
    std::vector<uint16_t> psk8(30, 0x1234);
    EXPECT_FALSE(cfc::BuildCfcBurst(3, 8, true, psk8)) << "no sequence 8";
    EXPECT_EQ(psk8[0], 0x1234);
    EXPECT_TRUE(cfc::BuildCfcBurst(1, 8, true, psk8)) << "mode 1 has no sequence";
    EXPECT_EQ(psk8[29], 0xF000);
    EXPECT_TRUE(cfc::BuildCfcBurst(9, 0, true, psk8));
    EXPECT_EQ(psk8[0], 0);
    EXPECT_EQ(cfc::BitReversed(0x8001), 0x8001);
    EXPECT_EQ(cfc::BitReversed(0x0AAA), 0x5550);
}

class CalibrationLogic : public TracedTest {
protected:
    // The data of the requests with id `command` the module got.
    static std::vector<Bytes> requestsOf(ModuleLink& link, uint16_t command)
    {
        std::vector<Bytes> found;
        for (const sim::HostMessage& message : link.sim().hostMessages())
            if (message.type == sim::kTypeCommand && message.command == command)
                found.push_back(Bytes(message.data.begin() + 2, message.data.end()));
        return found;
    }
    static std::vector<uint16_t> commands(ModuleLink& link)
    {
        std::vector<uint16_t> ids;
        for (const sim::HostMessage& message : link.sim().hostMessages())
            if (message.type == sim::kTypeCommand && message.command != 1)
                ids.push_back(message.command);
        return ids;
    }
};

TEST_F(CalibrationLogic, BuiltBurstGoesOutAndIntoTheTxSlotBitReversed)
{
    ModuleLink link(30, "cal-burst");
    const uint32_t h = link.handle();
    ASSERT_EQ(WSetCfcBurstDataMode(h, 2, 0, 0), 1);
    ASSERT_EQ(WConfigureGPRSLogicalTxSlot(h, 3, 0, 7, 0), 1);
    EXPECT_TRUE(traced("(CFC ) WSetCfcBurstDataMode: burstData ->"));

    const auto bursts = requestsOf(link, 23);
    ASSERT_EQ(bursts.size(), 1u);
    ASSERT_EQ(bursts[0].size(), 60u);
    EXPECT_EQ(Bytes(bursts[0].begin(), bursts[0].begin() + 2), (Bytes{0xAA, 0x0A}));
    EXPECT_EQ(Bytes(bursts[0].begin() + 20, bursts[0].end()), Bytes(40, 0)) << "GMSK: 10 words";

    const auto slots = requestsOf(link, 37);
    ASSERT_EQ(slots.size(), 1u);
    ASSERT_EQ(slots[0].size(), 65u);
    EXPECT_EQ(Bytes(slots[0].begin(), slots[0].begin() + 6), (Bytes{1, 7, 40, 0, 0x50, 0x55}));
    EXPECT_EQ(slots[0][64], 3) << "the slot number behind the definition";

    // Given data: the store keeps 10 words for GMSK, all 60 bytes go out.
    std::array<uint16_t, 30> given;
    given.fill(0x0001);
    ASSERT_EQ(WSetBurstData(h, given.data(), 0), 1);
    ASSERT_EQ(WConfigureGPRSLogicalTxSlot(h, 4, 0, 5, 1), 1);
    ASSERT_EQ(WConfigureGPRSLogicalRxSlot(h, 1, 1, 0x123), 1);
    ASSERT_EQ(WConfigureGPRSLogicalUnusedSlot(h, 2), 1);
    const Bytes sentData = requestsOf(link, 23)[1];
    for (size_t i = 0; i < 60; i += 2)
        EXPECT_EQ(sentData[i], 1) << i;
    const auto more = requestsOf(link, 37);
    EXPECT_EQ(more[1][0], 6) << "the other Tx type";
    EXPECT_EQ(Bytes(more[1].begin() + 4, more[1].begin() + 6), (Bytes{0x00, 0x80}));
    EXPECT_EQ(Bytes(more[1].begin() + 24, more[1].begin() + 64), Bytes(40, 0));
    EXPECT_EQ(Bytes(more[2].begin(), more[2].begin() + 5), (Bytes{5, 5, 0x23, 0x01, 116}));
    EXPECT_EQ(Bytes(more[3].begin(), more[3].begin() + 5), (Bytes{0, 5, 40, 0, 118}));

    // The TDMA frame sets the ramp scale first, then the bursts.
    const uint8_t on[4] = {1, 0, 1, 0};
    const uint16_t channels[4] = {62, 63, 64, 65};
    const uint16_t gains[4] = {1, 2, 3, 4};
    ASSERT_EQ(WSetCircuitSwitchedTDMAFrame(h, 2, on, channels, gains, 3, 4, 5, 6, 90), 1);
    const std::vector<uint16_t> ids = commands(link);
    EXPECT_EQ(std::vector<uint16_t>(ids.end() - 2, ids.end()), (std::vector<uint16_t>{27, 25}));
    EXPECT_EQ(requestsOf(link, 27).back(), le16(90));

    // A sequence beyond the table is refused before anything is sent.
    const size_t sent = link.sim().hostMessages().size();
    EXPECT_EQ(WSetCfcBurstDataMode(h, 4, 9, 1), 0);
    EXPECT_EQ(link.connection().lastError(), EMMIERR_BAD_ARGUMENT);
    EXPECT_EQ(link.sim().hostMessages().size(), sent);
}

TEST_F(CalibrationLogic, RegisterSequencesOfTxOffsetAndAmLoop)
{
    ModuleLink link(31, "cal-registers");
    const uint32_t h = link.handle();
    ASSERT_EQ(WSetTxOffset(h, 0x12, 0x34), 1);
    ASSERT_EQ(WSetTxOffset(h, 0x56, 0x78), 1);
    EXPECT_TRUE(traced("(CFC ) WSetTxOffset: rets old iTxOffset 12"));
    EXPECT_TRUE(traced("(CFC ) WSetTxOffset: rets new qTxOffset 78"));

    // Tx control registers 0 to 2 as the module has them.
    const std::array<uint16_t, 8> addresses{0, 1, 2};
    const std::array<uint16_t, 8> values{0x0F0F, 0x0001, 0x0002};
    std::array<uint16_t, 8> got{};
    ASSERT_EQ(WBBCRegister(h, 0x15, addresses.data(), values.data(), got.data()), 1);

    EXPECT_EQ(WSetAMLoopOffset(h, 1, 62, 0x40, 0, 0), 0);
    EXPECT_EQ(link.connection().lastError(), EMMIERR_BAD_AM_LOOP_OFFSET);
    EXPECT_TRUE(traced("(CFC ) WSetAMLoopOffset: invalid aMLoopOffset 0x40"));
    EXPECT_EQ(WSetAMLoopOffset(h, 1, 62, 0x3F, 0, 1024), 0);
    EXPECT_EQ(link.connection().lastError(), EMMIERR_BAD_RAMP_DAC);

    const size_t before = commands(link).size();
    ASSERT_EQ(WSetAMLoopOffset(h, 0, 62, 0x3F, 9, 0x3FF), 1);
    ASSERT_EQ(WSetAMLoopOffset(h, 1, 62, 0x3F, 9, 0x3FF), 1);
    const std::vector<uint16_t> ids = commands(link);
    EXPECT_EQ(std::vector<uint16_t>(ids.begin() + static_cast<long>(before), ids.end()),
              (std::vector<uint16_t>{45, 47, 47, 45, 47, 47}));
    EXPECT_TRUE(traced("(CFC ) WSetAMLoopOffset -> TxControl1:  0xf0f"));

    const std::array<uint16_t, 8> check{0, 1, 10};
    ASSERT_EQ(WBBCRegister(h, 0x2A, check.data(), values.data(), got.data()), 1);
    EXPECT_EQ(got[0], (0x0F0F & 0xFEF3) | 0x81);
    EXPECT_EQ(got[1], 0x0111);
    EXPECT_EQ(got[2], 0x3FF) << "the ramp DAC value";
}

TEST_F(CalibrationLogic, BandModeIsReadBackUntilTakenWithinItsBounds)
{
    sim::Options options;
    options.firmware.bandModeInvalidReads = 1;
    ModuleLink link(34, "cal-band", ModuleLink::Module::Simulator, options);
    ASSERT_EQ(WSetApexBandMode(link.handle(), 3), 1);
    // Normal mode: the protocol stack goes off first; the mode stays.
    EXPECT_EQ(commands(link), (std::vector<uint16_t>{99, 3, 69, 103, 103, 99}));
    EXPECT_EQ(countOf("(RPC ) CFCRPCApexBandModeChange: read fails"), 1u);
    EXPECT_TRUE(
        traced("(RPC ) CFCRPCApexBandModeChange: read gives current bandmode 3, should be 3"));
    EXPECT_TRUE(traced("(CFC ) WSetApexBandMode: O.K."));
    link.close();

    options.firmware.bandModeInvalidReads = 0;
    options.firmware.keepsBandMode = true;
    ModuleLink stubborn(35, "cal-band-kept", ModuleLink::Module::Simulator, options);
    EXPECT_EQ(WSetApexBandMode(stubborn.handle(), 2), 0);
    EXPECT_EQ(stubborn.connection().lastError(), cfc::kRpcBadConfirm);
    EXPECT_EQ(requestsOf(stubborn, 69).size(), 5u);
    EXPECT_TRUE(
        traced("(RPC ) CFCRPCApexBandModeChange: fail - bandmode not taken after 5 passes"));
    EXPECT_TRUE(traced("(CFC ) WSetApexBandMode: CFCRPCApexBandModeChange fails with error 5"));
    stubborn.close();

    options.firmware.keepsBandMode = false;
    options.firmware.bandModeInvalidReads = 100;
    ModuleLink invalid(36, "cal-band-invalid", ModuleLink::Module::Simulator, options);
    // The same invalid confirm again is taken for a repetition and dropped
    // by the message layer, so most reads end in a wait and a probe.
    invalid.connection().serial.setClass2Timeout(kSilentWaitMs);
    EXPECT_EQ(WSetApexBandMode(invalid.handle(), 2), 0);
    EXPECT_EQ(requestsOf(invalid, 103).size(), 10u);
    EXPECT_TRUE(traced("(RPC ) CFCRPCApexBandModeChange: fail - no valid read after 10 reads"));
}

TEST_F(CalibrationLogic, BandModeChangeGivesUpOnASilentModule)
{
    // Answers the version and nothing else.
    ScriptedModule module(37, "cal-band-silent", [](sim::Simulator&, const sim::HostMessage&) {});
    module.quickSilence();
    cfc::Connection& c = module.connection();
    EXPECT_EQ(cfc::CFCRPCApexBandModeChange(c, 1), cfc::kRpcNoConfirm);
    EXPECT_TRUE(traced("(RPC ) CFCRPCApexBandModeChange: no CFCConfirmApexMmWriteBandMode recvd"));
    EXPECT_TRUE(traced("(RPC ) CFCRPCApexBandModeChange: fail - module doesn't answer"));
    EXPECT_EQ(module.requestsOf(103), 1u);
}

TEST_F(CalibrationLogic, GainCodesAreHandedOutOnceEach)
{
    ModuleLink link(32, "cal-gaincodes");
    const uint32_t h = link.handle();
    uint16_t code = 0;
    EXPECT_EQ(WGetNextGainCode(h, &code), 0) << "no table yet";
    ASSERT_EQ(WInitGainCodeTemplates(h, 2, 1), 1);
    for (uint16_t i = 0; i < 12; ++i) {
        ASSERT_EQ(WGetNextGainCode(h, &code), 1);
        EXPECT_EQ(code, 0x120 + i);
    }
    EXPECT_EQ(WGetNextGainCode(h, &code), 0);
    EXPECT_TRUE(traced("(CFC ) WGetNextGainCode: index 12 too large"));
    ASSERT_EQ(WInitGainCodeTemplates(h, 2, 1), 1);
    EXPECT_EQ(WGetNextGainCode(h, &code), 1) << "a new table starts over";
}

TEST_F(CalibrationLogic, AtCommandWaitsAndTheCallsBuiltOnThem)
{
    ModuleLink link(33, "cal-at");
    const uint32_t h = link.handle();
    EXPECT_EQ(WSendAtCommandAndWait(h, "AT+NONE", "OK", 5), 0);
    EXPECT_FALSE(traced("(CFC ) Attempting receive (#1)")) << "an ERROR ends the wait";

    const std::string tooLong(252, '1');
    link.connection().storeError(0);
    EXPECT_EQ(WStartCircuitSwitchedCall(h, tooLong.c_str()), 0);
    EXPECT_EQ(link.connection().lastError(), EMMIERR_BAD_ARGUMENT)
        << "a bad argument, not a length";
    EXPECT_TRUE(traced("(CFC ) WStartCircuitSwitchedCall: number string too long: 252 characters"));
    EXPECT_EQ(requestsOf(link, 93).size(), 1u) << "nothing dialled";
    const std::string beyondAnyError(70000, '1');
    link.connection().storeError(0);
    EXPECT_EQ(WStartCircuitSwitchedCall(h, beyondAnyError.c_str()), 0);
    EXPECT_EQ(link.connection().lastError(), EMMIERR_BAD_ARGUMENT);

    ASSERT_EQ(WStartCircuitSwitchedCall(h, "+4912345"), 1);
    EXPECT_TRUE(traced("(CFC ) WStartCircuitSwitchedCall (command to send is ATD+4912345;)"));
    ASSERT_EQ(WStartGPRSAttach(h), 1);
    EXPECT_TRUE(traced("(CFC ) WSendAtCommandAndWait (command to send is AT+CGATT=1, wait for OK, "
                       "wait 8 secs)"));
    EXPECT_EQ(WPrepareNetworkRegistration(h, 10, 20), 1);
    EXPECT_TRUE(traced("(CFC ) WPrepareNetworkRegistration: O.K."));
}

TEST_F(CalibrationLogic, GwPointsSpreadWithUnderflowOverflowAndNoCarry)
{
    uint16_t index[3] = {};
    EXPECT_EQ(WGetGwIndexArray(0, index), 1);
    EXPECT_EQ(index[0] * 100 + index[1] * 10 + index[2], 3 * 100 + 4 * 10 + 15);

    struct Case {
        uint16_t gain0, gain1;
        size_t i;
        uint16_t word;
        int16_t rssi;
    };
    // clang-format off
    const Case cases[] = {
        {0x0445, 0x0428, 0,  0x0440, -600 + 32 * 3},  // step 5 - 8: underflow by 3
        {0x0445, 0x0428, 3,  0x0443, -600},           // 5 + 6 - 8
        {0x0445, 0x0428, 14, 0x0426, -800},           // 40 + 28 - 30
        {0x0445, 0x0428, 25, 0x042D, -800 + 32 * (45 - 60)}, // 40 + 50 - 30: overflow
        {0x047C, 0x0428, 6,  0x046D, -600 + 32 * (45 - 64)}, // 60 + 4: capped, no carry into bit 6
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.i);
        const uint16_t gains[2] = {c.gain0, c.gain1};
        const int16_t rssi[2] = {-600, -800};
        std::array<uint16_t, 26> words{};
        std::array<int16_t, 26> rssiOut{};
        ASSERT_EQ(WSendGwRssiMPoints(0, gains, rssi, words.data(), rssiOut.data()), 1);
        EXPECT_EQ(words[c.i], c.word);
        EXPECT_EQ(rssiOut[c.i], c.rssi);
    }
}

} // namespace
