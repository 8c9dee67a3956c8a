// The calibration and production operations through the public interface:
// every member of the common pattern walked from one table against the
// simulated firmware (its texts, its failure as last error, the handle
// check), and the members that choose their call.
#include "cfc.h"
#include "cfcrpc_engine.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

// One public operation: its name, the call below it, and a way to run it on
// a handle. Identity rows trace their own texts, ending in `success`.
struct Member {
    const char* name;
    const char* lower;
    std::function<int32_t(uint32_t handle)> run;
    uint16_t failure = cfc::kRpcBadReference;
    const char* success = nullptr;
};

// What the rows share across one walk, so a later row can answer an
// earlier one (the challenge) or read back what it wrote.
struct Scratch {
    std::array<uint8_t, 1400> data{};
    std::array<uint8_t, 64> response{};
    std::array<uint16_t, 32> words{};
    std::array<int16_t, 8> offsets{};
    uint16_t length = 0;
    uint16_t word = 0;
    uint8_t flag = 0;
    uint8_t version = 0;
};

std::vector<Member> members(Scratch& s)
{
    // In an order the simulated firmware accepts: an item is written before
    // it is read or deleted, the loop started before it is changed.
    // clang-format off
    return {
        {"WWriteNVRAMCalibrationItem", "CFCRPCL1ALNvRamWriteCal", [&](uint32_t h) { return WWriteNVRAMCalibrationItem(h, 3, s.data.data(), 16); }},
        {"WCheckNVRAMCalibrationItem", "CFCRPCL1ALNvRamCheckCal", [&](uint32_t h) { return WCheckNVRAMCalibrationItem(h, 3, &s.flag); }},
        {"WReadNVRAMCalibrationItem", "CFCRPCL1ALNvRamReadCal", [&](uint32_t h) { return WReadNVRAMCalibrationItem(h, 3, s.data.data(), 16, &s.length); }},
        {"WSaveAllOtherNVRAMCalibrationItems", "CFCRPCSaveAllOther", [](uint32_t h) { return WSaveAllOtherNVRAMCalibrationItems(h, 19); }},
        {"WRestoreAllOtherNVRAMCalibrationItems", "CFCRPCRestoreAllOther", [](uint32_t h) { return WRestoreAllOtherNVRAMCalibrationItems(h, 19); }},
        {"WEraseAllNVRAMCalibrationItems", "CFCRPCL1ALNvRamEraseCal", [](uint32_t h) { return WEraseAllNVRAMCalibrationItems(h); }, cfc::kRpcBadConfirm},
        {"WWriteNVRAMQVCalibrationItem", "CFCRPCQVNvRamWriteCal", [&](uint32_t h) { return WWriteNVRAMQVCalibrationItem(h, 0x120, s.data.data(), 8); }},
        {"WCheckNVRAMQVCalibrationItem", "CFCRPCQVNVRAMCheckCal", [&](uint32_t h) { return WCheckNVRAMQVCalibrationItem(h, 0x120, &s.flag); }},
        {"WReadNVRAMQVCalibrationItem", "CFCRPCQVNVRAMReadCal", [&](uint32_t h) { return WReadNVRAMQVCalibrationItem(h, 0x120, s.data.data(), 8, &s.length); }},
        {"WWriteNVRAMQVCalibrationItemVer", "CFCRPCQVNvRamWriteCal", [&](uint32_t h) { return WWriteNVRAMQVCalibrationItemVer(h, 0x121, s.data.data(), 8, 5); }},
        {"WReadNVRAMQVCalibrationItemVer", "CFCRPCQVNVRAMReadCal", [&](uint32_t h) { return WReadNVRAMQVCalibrationItemVer(h, 0x121, s.data.data(), 8, &s.length, &s.version); }},
        {"WWriteNVRAMUserItem", "CFCRPCL1ALNVRAMWrite", [&](uint32_t h) { return WWriteNVRAMUserItem(h, 70000, 1, s.data.data(), 12); }},
        {"WReadNVRAMUserItem", "CFCRPCL1ALNVRAMRead", [&](uint32_t h) { return WReadNVRAMUserItem(h, 70000, 1, s.data.data(), 12, &s.length); }},
        {"WWriteNVRAMUserItemVer", "CFCRPCL1ALNVRAMWrite", [&](uint32_t h) { return WWriteNVRAMUserItemVer(h, 70001, 1, s.data.data(), 12, 4); }},
        {"WReadNVRAMUserItemVer", "CFCRPCL1ALNVRAMRead", [&](uint32_t h) { return WReadNVRAMUserItemVer(h, 70001, 1, s.data.data(), 12, &s.length, &s.version); }},
        {"WDeleteNVRAMUserItem", "CFCRPCL1ALNvRamDelete", [](uint32_t h) { return WDeleteNVRAMUserItem(h, 70000, 1); }},
        {"WEraseAllNVRAMUserItems", "CFCRPCL1ALNvRamErase", [](uint32_t h) { return WEraseAllNVRAMUserItems(h); }},

        {"WSetAFC", "CFCRPCCalDevGsmSetAfcDac", [](uint32_t h) { return WSetAFC(h, 0x1000); }},
        {"WSetAFCAndMeasure", "CFCRPCCalDevGsmFreqOffsetMeas", [&](uint32_t h) { return WSetAFCAndMeasure(h, 62, 0x1010, &s.offsets[0]); }},
        {"WSetGainProgramWord", "CFCRPCCalDevGsmGainProgram", [](uint32_t h) { return WSetGainProgramWord(h, 0x0345, 4, 1); }},
        {"WGetGainProgramWord", "CFCRPCCalDevGsmGainProgram", [&](uint32_t h) { return WGetGainProgramWord(h, 4, 1, &s.word); }},
        {"WSetAccurateValue", "CFCRPCCalDevGsmGainProgram", [](uint32_t h) { return WSetAccurateValue(h, 0x22, 4, 1); }},
        {"WGetPowerValue", "CFCRPCCalDevGsmRssi", [&](uint32_t h) { return WGetPowerValue(h, 62, 0x10, 1, &s.offsets[0]); }, cfc::kRpcBadConfirm},
        {"WGetUsedIQOffsetValues", "CFCRPCCalDevGsmDcOffset", [&](uint32_t h) { return WGetUsedIQOffsetValues(h, 1, s.offsets.data()); }},
        {"WSetCurrentDualBandMode", "CFCRPCCalDevGsmSetBandMode", [](uint32_t h) { return WSetCurrentDualBandMode(h, 2); }},
        {"WSetPowerRamp", "CFCRPCCalDevGsmSetPowerRamp", [&](uint32_t h) { return WSetPowerRamp(h, s.words.data()); }},
        {"WSetRampScaleFactor", "CFCRPCCalDevGsmRampScale", [](uint32_t h) { return WSetRampScaleFactor(h, 90); }},
        {"WRadioPowerOn", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioPowerOn(h); }},
        {"WRadioPowerDown", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioPowerDown(h); }},
        {"WRadioReceiverOn", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioReceiverOn(h, 5); }},
        {"WRadioReceiverOff", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioReceiverOff(h, 5); }},
        {"WRadioSendTelegram", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioSendTelegram(h, 0x1234); }},
        {"WRadioSetInitTelegram", "CFCRPCCalDevGsmRxControl", [](uint32_t h) { return WRadioSetInitTelegram(h, 0x1234, 2); }},
        {"WStartLoopback", "CFCRPCCalDevGsmLoopBack", [](uint32_t h) { return WStartLoopback(h, 10, 20, 3, 5, 7); }},
        {"WChangeLoopback", "CFCRPCCalDevGsmLoopBack", [](uint32_t h) { return WChangeLoopback(h, 21, 3, 5, 7); }},
        {"WGetLoopbackData", "CFCRPCCalDevGsmLoopBackData", [&](uint32_t h) { return WGetLoopbackData(h, &s.offsets[0], &s.offsets[1], &s.word, &s.word, &s.offsets[2]); }},
        {"WStopLoopback", "CFCRPCCalDevGsmLoopBack", [](uint32_t h) { return WStopLoopback(h); }},
        {"WConfigureGPRSMultiFrame", "CFCRPCCalDevGsmFrameDefine", [&](uint32_t h) { return WConfigureGPRSMultiFrame(h, 1, s.data.data(), 1, 2, 3, 4, 5, 6, 7); }},
        {"WChangeGPRSTiming", "CFCRPCCalDevGsmFrameTiming", [](uint32_t h) { return WChangeGPRSTiming(h, 1, 4, 5, 6, 7); }},
        {"WSetGPRSUsage", "CFCRPCCalDevGsmFrameUse", [](uint32_t h) { return WSetGPRSUsage(h, 1); }},
        {"WBBCRegister", "CFCRPCCalDevGsmBBCRegister", [&](uint32_t h) { return WBBCRegister(h, 0x5, s.words.data(), s.words.data() + 8, s.words.data() + 16); }},
        {"WSetTxOffset", "WBBCRegister", [](uint32_t h) { return WSetTxOffset(h, 1, 2); }},
        {"WSetAMLoopOffset", "CFCRPCCalDevGsmConstTx", [](uint32_t h) { return WSetAMLoopOffset(h, 0, 62, 0x20, 3, 0x100); }},
        {"WInitGainCodeTemplates", "CFCRPCGetGainCodeTable", [](uint32_t h) { return WInitGainCodeTemplates(h, 1, 2); }},
        {"WSetBurstData", "CFCRPCCalDevGsmSetBurstData", [&](uint32_t h) { return WSetBurstData(h, s.words.data(), 1); }},
        {"WSetCfcBurstDataMode", "CFCRPCCalDevGsmSetBurstData", [](uint32_t h) { return WSetCfcBurstDataMode(h, 3, 2, 0); }},
        {"WConfigureGPRSLogicalRxSlot", "CFCRPCCalDevGsmSlotDefine", [](uint32_t h) { return WConfigureGPRSLogicalRxSlot(h, 1, 0, 0x10); }},
        {"WConfigureGPRSLogicalTxSlot", "CFCRPCCalDevGsmSlotDefine", [](uint32_t h) { return WConfigureGPRSLogicalTxSlot(h, 2, 0, 5, 0); }},
        {"WConfigureGPRSLogicalMonSlot", "CFCRPCCalDevGsmSlotDefine", [](uint32_t h) { return WConfigureGPRSLogicalMonSlot(h, 3, 0x20); }},
        {"WConfigureGPRSLogicalUnusedSlot", "CFCRPCCalDevGsmSlotDefine", [](uint32_t h) { return WConfigureGPRSLogicalUnusedSlot(h, 4); }},
        {"WSetPrechargeValue", "CFCRPCSetPrechargeValue", [](uint32_t h) { return WSetPrechargeValue(h, 300); }},

        {"WGetSingleIE", "CFCRPCGetSingleIE", [&](uint32_t h) { return WGetSingleIE(h, 7, &s.word); }},
        {"WResetIMEIMode", "CFCRPCResetIMEIMode", [&](uint32_t h) { return WResetIMEIMode(h, &s.flag); }},
        {"WSetCustomerIMEIMode", "CFCRPCResetIMEIMode", [&](uint32_t h) { return WSetCustomerIMEIMode(h, &s.flag); }},
        {"WReadSerialNumber", "CFCRPCReadSerialNumber", [&](uint32_t h) { return WReadSerialNumber(h, s.data.data()); }},
        {"WInitIMEI", "CFCRPCInitIMEI", [](uint32_t h) { return WInitIMEI(h); }},
        {"WFreezeIMEI", "CFCRPCFreezeIMEI", [&](uint32_t h) { return WFreezeIMEI(h, s.data.data()); }},
        {"WReadIMEI", "CFCRPCReadIMEI", [&](uint32_t h) { return WReadIMEI(h, s.data.data()); }},
        {"WGetFlashSerialNumber", "CFCRPCFlashSerialNumberRead", [&](uint32_t h) { return WGetFlashSerialNumber(h, s.data.data()); }, cfc::kRpcBadReference, "successfull"},
        {"WRequestChallenge", "CFCRPCRequestChallenge", [&](uint32_t h) {
             const int32_t done = WRequestChallenge(h, s.data.data());
             for (size_t i = 0; i < 8; ++i)
                 s.response[i] = static_cast<uint8_t>(s.data[i] ^ 0xFF);
             return done; }, cfc::kRpcBadReference, "successful"},
        {"WSendResponse", "CFCRPCSendResponse", [&](uint32_t h) { return WSendResponse(h, s.response.data()); }, cfc::kRpcBadReference, "successful"},
        {"WSetSecurityMode", "CFCRPCSetSecurityMode", [&](uint32_t h) { uint16_t mode = 0; return WSetSecurityMode(h, &mode, 0); }, cfc::kRpcBadReference, "successful"},
        {"WGetMobileInformation", "CFCRPCGetMobileInfo", [&](uint32_t h) { return WGetMobileInformation(h, s.data.data()); }, cfc::kRpcBadReference, "successful"},
    };
    // clang-format on
}

// The requests that wait five attempts; the others wait three receptions.
const std::set<uint16_t> kFiveAttempts = {51, 53, 55, 59, 61, 63, 65, 111, 115};

// Answers every request only with confirms of foreign references, as many
// as the call's wait takes, so every call fails at once.
void staleConfirmsOnly(sim::Simulator& module, const sim::HostMessage& request)
{
    // Each confirm differs from every earlier one, so that none is dropped
    // as the repetition of the message before it.
    static uint8_t serial = 0;
    const uint16_t count = kFiveAttempts.count(request.command) != 0 ? 5 : 3;
    for (uint16_t back = count; back >= 1; --back) {
        Bytes rest(24, 0xFF);
        rest[20] = ++serial;
        module.sendMessage(static_cast<uint16_t>(request.command + 1),
                           concat(le16(static_cast<uint16_t>(referenceOf(request) - back)), rest));
    }
}

class CalibrationPattern : public TracedTest {};

TEST_F(CalibrationPattern, EveryMemberTracesItsCallAndItsEnd)
{
    ModuleLink link(20, "cal-pattern");
    const uint32_t handle = link.handle();
    Scratch scratch;
    for (size_t i = 0; i < scratch.data.size(); ++i)
        scratch.data[i] = static_cast<uint8_t>(i * 7);
    for (const Member& member : members(scratch)) {
        SCOPED_TRACE(member.name);
        EXPECT_EQ(member.run(handle), 1);
        const std::string name = std::string("(CFC ) ") + member.name;
        if (member.success != nullptr) {
            EXPECT_TRUE(traced(name));
            EXPECT_TRUE(traced(name + " " + member.success));
            continue;
        }
        EXPECT_TRUE(traced(name + ": call " + member.lower + "()..."));
        EXPECT_TRUE(traced(name + ": O.K."));
        const auto texts = traceTexts();
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
            return t.rfind(name + "(", 0) == 0 && t.back() == ')';
        })) << "no call line with arguments";
    }
    EXPECT_EQ(link.connection().lastError(), 0);
}

TEST_F(CalibrationPattern, AFailureBelowIsTheLastErrorAndABadHandleTouchesNothing)
{
    ScriptedModule module(21, "cal-failing", staleConfirmsOnly);
    const uint32_t handle = module.handle();
    cfc::Connection& connection = module.connection();
    Scratch scratch;
    for (const Member& member : members(scratch)) {
        SCOPED_TRACE(member.name);
        connection.storeError(0);
        EXPECT_EQ(member.run(handle), 0);
        EXPECT_EQ(connection.lastError(), member.failure);
        const std::string failure = std::to_string(member.failure);
        if (member.success != nullptr) {
            EXPECT_TRUE(
                traced(std::string("(CFC ) ") + member.lower + " failed with error " + failure));
            EXPECT_FALSE(traced(std::string("(CFC ) ") + member.name + " " + member.success));
        } else {
            EXPECT_TRUE(traced(std::string("(CFC ) ") + member.name + ": " + member.lower +
                               " fails with error " + failure));
            EXPECT_FALSE(traced(std::string("(CFC ) ") + member.name + ": O.K."));
        }

        // A value that fails the handle pattern: no trace, no request, the
        // last error as it was.
        connection.storeError(77);
        const size_t lines = traceTexts().size();
        const size_t sent = module.link().sim().hostMessages().size();
        EXPECT_EQ(member.run(handle ^ 1), 0);
        EXPECT_EQ(traceTexts().size(), lines);
        EXPECT_EQ(module.link().sim().hostMessages().size(), sent);
        EXPECT_EQ(connection.lastError(), 77);
    }
}

TEST_F(CalibrationPattern, VerMembersUseTheItemVersionOnlyWithRpcVersionOne)
{
    for (const uint32_t rpcVersion : {0x00010000u, 0x00010001u}) {
        const bool versioned = rpcVersion == 0x00010001u;
        SCOPED_TRACE(versioned ? "RPC version 1" : "RPC version 0");
        sim::Options options;
        options.firmware.rpcVersion = rpcVersion;
        ModuleLink link(versioned ? 23 : 22, versioned ? "cal-ver1" : "cal-ver0",
                        ModuleLink::Module::Simulator, options);
        const uint32_t handle = link.handle();
        const Bytes data = countingBytes(10, 0x30);
        ASSERT_EQ(WWriteNVRAMUserItemVer(handle, 9, 0, data.data(), 10, 6), 1);
        ASSERT_EQ(WWriteNVRAMQVCalibrationItemVer(handle, 0x300, data.data(), 10, 7), 1);

        Bytes read(10);
        uint16_t length = 0;
        uint8_t version = 0xEE;
        ASSERT_EQ(WReadNVRAMUserItemVer(handle, 9, 0, read.data(), 10, &length, &version), 1);
        EXPECT_EQ(read, data);
        EXPECT_EQ(version, versioned ? 6 : 0xEE) << "no version is delivered without one";
        version = 0xEE;
        ASSERT_EQ(WReadNVRAMQVCalibrationItemVer(handle, 0x300, read.data(), 10, &length, &version),
                  1);
        EXPECT_EQ(read, data);
        EXPECT_EQ(version, versioned ? 7 : 0xEE);

        std::vector<uint16_t> ids;
        for (const sim::HostMessage& message : link.sim().hostMessages())
            if (message.type == sim::kTypeCommand && message.command != 1)
                ids.push_back(message.command);
        EXPECT_EQ(ids, versioned ? (std::vector<uint16_t>{111, 115, 109, 113})
                                 : (std::vector<uint16_t>{51, 59, 49, 105}));
    }
}

TEST_F(CalibrationPattern, AfcMeasureNeedsAFrequencyBurst)
{
    sim::Options options;
    options.firmware.catalogueFault = {sim::ConfirmFault::Status, 13, 3, 0, 1};
    ModuleLink link(24, "cal-afc", ModuleLink::Module::Simulator, options);
    int16_t offset = 99;
    EXPECT_EQ(WSetAFCAndMeasure(link.handle(), 62, 0x1010, &offset), 0);
    EXPECT_EQ(link.connection().lastError(), 16);
    EXPECT_EQ(offset, 99);
    EXPECT_TRUE(traced("(CFC ) WSetAFCAndMeasure: rets freqBurstStatus 3"));
    EXPECT_TRUE(
        traced("(CFC ) WSetAFCAndMeasure: CFCRPCCalDevGsmFreqOffsetMeas rets status 3, error 16"));
    // The fault struck once: a burst found gives the offset.
    EXPECT_EQ(WSetAFCAndMeasure(link.handle(), 62, 0x1010, &offset), 1);
    EXPECT_EQ(offset, 0x10);
}

} // namespace
