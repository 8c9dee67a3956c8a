// What the public operations say when something goes wrong: every failure
// leaves a code, a bad argument is refused before anything is sent, a
// confirm cut short delivers nothing, and a port that refuses a write is a
// system failure at once.
#include "cfc.h"
#include "cfc_serialmode.h"
#include "cfcmsg.h"
#include "cfcrpc_version.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

class HonestFailures : public TracedTest {
protected:
    static std::vector<std::string> linesWith(const std::string& part)
    {
        std::vector<std::string> found;
        for (const std::string& line : traceTexts())
            if (line.find(part) != std::string::npos)
                found.push_back(line);
        return found;
    }
};

struct Step {
    const char* name;
    std::function<int32_t(uint32_t)> run;
    // The code the failure must leave; 0: any code but 0.
    uint16_t code = EMMIERR_SYSTEM;
};

// Every public operation that takes a handle and can fail, each on the path
// a production line meets most: the port has gone away under it. Those that
// never touch the module fail on their own check.
std::vector<Step> everyOperation()
{
    static std::array<uint8_t, 64> bytes{};
    static std::array<uint16_t, 32> words{};
    static std::array<char, CFC_AT_RESPONSE_SIZE> text{};
    static int16_t value = 0;
    static uint16_t word = 0;
    static uint8_t flag = 0;
    uint8_t* b = bytes.data();
    uint16_t* w = words.data();
    // clang-format off
    return {
        {"WStartModuleForTheFirstTime", [](uint32_t h) { return WStartModuleForTheFirstTime(h, 1); }, 0},
        {"WGetBootloaderVersion", [](uint32_t h) { return WGetBootloaderVersion(h, text.data()); }, EMMIERR_VERSION_UNKNOWN},
        {"WInitServiceMode", [](uint32_t h) { return WInitServiceMode(h); }},
        {"WInitNormalMode", [](uint32_t h) { return WInitNormalMode(h); }},
        {"WInitTestMode", [](uint32_t h) { return WInitTestMode(h); }},
        {"WInitAirplaneMode", [](uint32_t h) { return WInitAirplaneMode(h); }},
        {"WInitNormalModeFromTestMode", [](uint32_t h) { return WInitNormalModeFromTestMode(h); }},
        {"WSwitchTargetToOperationMode", [](uint32_t h) { return WSwitchTargetToOperationMode(h, CFCServiceMode); }},
        {"WExitServiceMode", [](uint32_t h) { return WExitServiceMode(h); }},
        {"WSwitchJavaAutoStart", [](uint32_t h) { return WSwitchJavaAutoStart(h, 0); }},
        {"WSwitchOff", [](uint32_t h) { return WSwitchOff(h); }},
        {"WTerminateCall", [](uint32_t h) { return WTerminateCall(h); }},
        {"WSendAtCommand", [](uint32_t h) { return WSendAtCommand(h, "ATI", text.data()); }},
        {"WReceiveAtCommand", [](uint32_t h) { return WReceiveAtCommand(h, text.data()); }, CFCRPC_NO_CONFIRM},
        {"WSendAtCommandAndWait", [](uint32_t h) { return WSendAtCommandAndWait(h, "ATI", "OK", 1); }, CFCRPC_NO_CONFIRM},
        {"WStartCircuitSwitchedCall", [](uint32_t h) { return WStartCircuitSwitchedCall(h, "123"); }, 0},
        {"WStartGPRSAttach", [](uint32_t h) { return WStartGPRSAttach(h); }, 0},
        {"WReadNVRAMCalibrationItem", [b](uint32_t h) { return WReadNVRAMCalibrationItem(h, 1, b, 8, &word); }},
        {"WCheckNVRAMCalibrationItem", [](uint32_t h) { return WCheckNVRAMCalibrationItem(h, 1, &flag); }},
        {"WWriteNVRAMCalibrationItem", [b](uint32_t h) { return WWriteNVRAMCalibrationItem(h, 1, b, 8); }},
        {"WEraseAllNVRAMCalibrationItems", [](uint32_t h) { return WEraseAllNVRAMCalibrationItems(h); }},
        {"WSaveAllOtherNVRAMCalibrationItems", [](uint32_t h) { return WSaveAllOtherNVRAMCalibrationItems(h, 19); }},
        {"WRestoreAllOtherNVRAMCalibrationItems", [](uint32_t h) { return WRestoreAllOtherNVRAMCalibrationItems(h, 19); }},
        {"WCheckNVRAMQVCalibrationItem", [](uint32_t h) { return WCheckNVRAMQVCalibrationItem(h, 0x120, &flag); }},
        {"WReadNVRAMQVCalibrationItem", [b](uint32_t h) { return WReadNVRAMQVCalibrationItem(h, 0x120, b, 8, &word); }},
        {"WWriteNVRAMQVCalibrationItem", [b](uint32_t h) { return WWriteNVRAMQVCalibrationItem(h, 0x120, b, 8); }},
        {"WReadNVRAMQVCalibrationItemVer", [b](uint32_t h) { return WReadNVRAMQVCalibrationItemVer(h, 0x120, b, 8, &word, &flag); }},
        {"WWriteNVRAMQVCalibrationItemVer", [b](uint32_t h) { return WWriteNVRAMQVCalibrationItemVer(h, 0x120, b, 8, 1); }},
        {"WReadNVRAMUserItem", [b](uint32_t h) { return WReadNVRAMUserItem(h, 7, 0, b, 8, &word); }},
        {"WWriteNVRAMUserItem", [b](uint32_t h) { return WWriteNVRAMUserItem(h, 7, 0, b, 8); }},
        {"WReadNVRAMUserItemVer", [b](uint32_t h) { return WReadNVRAMUserItemVer(h, 7, 0, b, 8, &word, &flag); }},
        {"WWriteNVRAMUserItemVer", [b](uint32_t h) { return WWriteNVRAMUserItemVer(h, 7, 0, b, 8, 1); }},
        {"WDeleteNVRAMUserItem", [](uint32_t h) { return WDeleteNVRAMUserItem(h, 7, 0); }},
        {"WEraseAllNVRAMUserItems", [](uint32_t h) { return WEraseAllNVRAMUserItems(h); }},
        {"WSetAFC", [](uint32_t h) { return WSetAFC(h, 1); }},
        {"WSetAFCAndMeasure", [](uint32_t h) { return WSetAFCAndMeasure(h, 62, 1, &value); }},
        {"WSetGainProgramWord", [](uint32_t h) { return WSetGainProgramWord(h, 1, 2, 1); }},
        {"WGetGainProgramWord", [](uint32_t h) { return WGetGainProgramWord(h, 2, 1, &word); }},
        {"WSetAccurateValue", [](uint32_t h) { return WSetAccurateValue(h, 1, 2, 1); }},
        {"WGetPowerValue", [](uint32_t h) { return WGetPowerValue(h, 62, 1, 0, &value); }},
        {"WGetUsedIQOffsetValues", [](uint32_t h) { std::array<int16_t, 4> o{}; return WGetUsedIQOffsetValues(h, 1, o.data()); }},
        {"WSetCurrentDualBandMode", [](uint32_t h) { return WSetCurrentDualBandMode(h, 1); }},
        {"WSetPowerRamp", [w](uint32_t h) { return WSetPowerRamp(h, w); }},
        {"WSetRampScaleFactor", [](uint32_t h) { return WSetRampScaleFactor(h, 9); }},
        {"WRadioPowerOn", [](uint32_t h) { return WRadioPowerOn(h); }},
        {"WRadioPowerDown", [](uint32_t h) { return WRadioPowerDown(h); }},
        {"WRadioReceiverOn", [](uint32_t h) { return WRadioReceiverOn(h, 1); }},
        {"WRadioReceiverOff", [](uint32_t h) { return WRadioReceiverOff(h, 1); }},
        {"WRadioSendTelegram", [](uint32_t h) { return WRadioSendTelegram(h, 1); }},
        {"WRadioSetInitTelegram", [](uint32_t h) { return WRadioSetInitTelegram(h, 1, 1); }},
        {"WStartLoopback", [](uint32_t h) { return WStartLoopback(h, 1, 2, 3, 4, 5); }},
        {"WChangeLoopback", [](uint32_t h) { return WChangeLoopback(h, 2, 3, 4, 5); }},
        {"WStopLoopback", [](uint32_t h) { return WStopLoopback(h); }},
        {"WGetLoopbackData", [](uint32_t h) { return WGetLoopbackData(h, nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"WConfigureGPRSMultiFrame", [b](uint32_t h) { return WConfigureGPRSMultiFrame(h, 1, b, 1, 2, 3, 4, 5, 6, 7); }},
        {"WChangeGPRSTiming", [](uint32_t h) { return WChangeGPRSTiming(h, 1, 2, 3, 4, 5); }},
        {"WSetGPRSUsage", [](uint32_t h) { return WSetGPRSUsage(h, 1); }},
        {"WBBCRegister", [w](uint32_t h) { return WBBCRegister(h, 0x5, w, w + 8, w + 16); }},
        {"WSetPrechargeValue", [](uint32_t h) { return WSetPrechargeValue(h, 1); }},
        {"WSetApexBandMode", [](uint32_t h) { return WSetApexBandMode(h, 1); }},
        {"WSetTxOffset", [](uint32_t h) { return WSetTxOffset(h, 1, 2); }},
        {"WSetAMLoopOffset", [](uint32_t h) { return WSetAMLoopOffset(h, 1, 62, 1, 2, 3); }},
        {"WInitGainCodeTemplates", [](uint32_t h) { return WInitGainCodeTemplates(h, 1, 1); }},
        {"WGetNextGainCode", [](uint32_t h) { return WGetNextGainCode(h, &word); }, EMMIERR_TABLE_END},
        {"WSetBurstData", [w](uint32_t h) { return WSetBurstData(h, w, 0); }},
        {"WSetCfcBurstDataMode", [](uint32_t h) { return WSetCfcBurstDataMode(h, 1, 0, 0); }},
        {"WConfigureGPRSLogicalRxSlot", [](uint32_t h) { return WConfigureGPRSLogicalRxSlot(h, 1, 0, 1); }},
        {"WConfigureGPRSLogicalTxSlot", [](uint32_t h) { return WConfigureGPRSLogicalTxSlot(h, 1, 0, 1, 0); }},
        {"WConfigureGPRSLogicalMonSlot", [](uint32_t h) { return WConfigureGPRSLogicalMonSlot(h, 1, 1); }},
        {"WConfigureGPRSLogicalUnusedSlot", [](uint32_t h) { return WConfigureGPRSLogicalUnusedSlot(h, 1); }},
        {"WSetCircuitSwitchedTDMAFrame", [b, w](uint32_t h) { return WSetCircuitSwitchedTDMAFrame(h, 1, b, w, w, 0, 0, 0, 1, 9); }},
        {"WQuorleStoreCalibrationDataTxIQOffsets", [](uint32_t h) { return WQuorleStoreCalibrationDataTxIQOffsets(h, 0, 2, 1, 1); }, EMMIERR_BAD_MODULATION},
        {"WQuorleStoreCalibrationDataScalingFactors", [w](uint32_t h) { return WQuorleStoreCalibrationDataScalingFactors(h, 4, 0, w); }, EMMIERR_BAD_BAND},
        {"WQuorleStoreCalibrationDataAMLoopOffsets", [](uint32_t h) { return WQuorleStoreCalibrationDataAMLoopOffsets(h, 4, 1); }, EMMIERR_BAD_BAND},
        {"WQuorleStoreCalibrationDataAGCGainWords", [w](uint32_t h) { return WQuorleStoreCalibrationDataAGCGainWords(h, 4, w); }, EMMIERR_BAD_BAND},
        {"WQuorleStoreCalibrationDataAGCAccurateValues", [w](uint32_t h) { return WQuorleStoreCalibrationDataAGCAccurateValues(h, 4, w); }, EMMIERR_BAD_BAND},
        {"WQuorleStoreCalibrationDataTxDacOffsets", [](uint32_t h) { return WQuorleStoreCalibrationDataTxDacOffsets(h, 4, 0, 1); }, EMMIERR_BAD_BAND},
        {"WWriteAllStoredValuesToModuleNVRAM", [](uint32_t h) { return WWriteAllStoredValuesToModuleNVRAM(h, 1); }},
        {"WGetFlashSerialNumber", [b](uint32_t h) { return WGetFlashSerialNumber(h, b); }},
        {"WGetSingleIE", [](uint32_t h) { return WGetSingleIE(h, 1, &word); }},
        {"WResetIMEIMode", [](uint32_t h) { return WResetIMEIMode(h, &flag); }},
        {"WSetCustomerIMEIMode", [](uint32_t h) { return WSetCustomerIMEIMode(h, nullptr); }},
        {"WReadSerialNumber", [b](uint32_t h) { return WReadSerialNumber(h, b); }},
        {"WReadIMEI", [b](uint32_t h) { return WReadIMEI(h, b); }},
        {"WInitIMEI", [](uint32_t h) { return WInitIMEI(h); }},
        {"WFreezeIMEI", [b](uint32_t h) { return WFreezeIMEI(h, b); }},
        {"WSetSecurityMode", [](uint32_t h) { uint16_t mode = 1; return WSetSecurityMode(h, &mode, 0); }},
        {"WRequestChallenge", [b](uint32_t h) { return WRequestChallenge(h, b); }},
        {"WSendResponse", [b](uint32_t h) { return WSendResponse(h, b); }},
        {"WGetMobileInformation", [b](uint32_t h) { return WGetMobileInformation(h, b); }},
    };
    // clang-format on
}

TEST_F(HonestFailures, EveryOperationThatFailsLeavesACode)
{
    ModuleLink link(9, "honest-gone");
    // Receptions that can only time out need not take their full second.
    link.connection().serial.setClass2Timeout(100);
    link.device().hangUp();
    for (const Step& step : everyOperation()) {
        link.connection().storeError(EMMIERR_OK);
        EXPECT_EQ(step.run(link.handle()), 0) << step.name;
        const uint16_t error = WGetLastError(link.handle());
        if (step.code != 0)
            EXPECT_EQ(error, step.code) << step.name;
        else
            EXPECT_NE(error, EMMIERR_OK) << step.name;
    }
}

TEST_F(HonestFailures, ARefusedWriteIsASystemFailureAtOnceWithItsReason)
{
    ModuleLink link(10, "honest-refused");
    cfc::GetTargetVersion(link.connection());
    link.device().hangUp();
    std::array<uint8_t, 8> imei{};
    EXPECT_EQ(WReadIMEI(link.handle(), imei.data()), 0);
    EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_SYSTEM);
    EXPECT_EQ(linesWith("EmmiL2GetAck rets").size(), 0u) << "no acknowledgement was waited for";
    EXPECT_EQ(linesWith("(GWC2) EmmiL2SendFrame: write fails with error 9").size(), 1u);
    char text[256];
    ASSERT_GT(WGetLastErrorText(link.handle(), text, sizeof text), 0u);
    EXPECT_NE(std::string(text).find("(system error "), std::string::npos) << text;

    // The probe loop of the switch-off and the switch to EMMI ends at the
    // first refused probe instead of probing 100 times.
    link.connection().storeError(EMMIERR_OK);
    EXPECT_EQ(cfc::WaitForTargetSerialMode(link.connection(), cfc::kTargetSerialModeOff), 0);
    EXPECT_EQ(linesWith("(CFC ) GetTargetSerialMode: could not send (9)").size(), 1u);
    EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_SYSTEM);
}

struct BadArgument {
    const char* name;
    const char* argument;
    std::function<int32_t(uint32_t)> run;
};

std::vector<BadArgument> badArguments()
{
    static std::array<uint8_t, 2000> big{};
    static std::array<uint16_t, 32> words{};
    static uint16_t word = 0;
    const uint8_t* d = big.data();
    uint16_t* w = words.data();
    // clang-format off
    return {
        {"WReadNVRAMCalibrationItem", "pData", [](uint32_t h) { return WReadNVRAMCalibrationItem(h, 1, nullptr, 4, &word); }},
        {"WCheckNVRAMCalibrationItem", "pNVRAMBlockExists", [](uint32_t h) { return WCheckNVRAMCalibrationItem(h, 1, nullptr); }},
        {"WWriteNVRAMCalibrationItem", "pData", [](uint32_t h) { return WWriteNVRAMCalibrationItem(h, 1, nullptr, 4); }},
        // The request's 6 bytes and the data fill the 1500-byte message.
        {"WWriteNVRAMCalibrationItem", "dataSize", [d](uint32_t h) { return WWriteNVRAMCalibrationItem(h, 1, d, 1495); }},
        {"WCheckNVRAMQVCalibrationItem", "pNVRAMBlockExists", [](uint32_t h) { return WCheckNVRAMQVCalibrationItem(h, 1, nullptr); }},
        {"WReadNVRAMQVCalibrationItem", "pData", [](uint32_t h) { return WReadNVRAMQVCalibrationItem(h, 1, nullptr, 4, nullptr); }},
        {"WWriteNVRAMQVCalibrationItem", "dataSize", [d](uint32_t h) { return WWriteNVRAMQVCalibrationItem(h, 1, d, 1495); }},
        {"WReadNVRAMQVCalibrationItemVer", "pData", [](uint32_t h) { return WReadNVRAMQVCalibrationItemVer(h, 1, nullptr, 4, nullptr, nullptr); }},
        {"WWriteNVRAMQVCalibrationItemVer", "dataSize", [d](uint32_t h) { return WWriteNVRAMQVCalibrationItemVer(h, 1, d, 1494, 1); }},
        {"WReadNVRAMUserItem", "pData", [](uint32_t h) { return WReadNVRAMUserItem(h, 1, 0, nullptr, 4, &word); }},
        {"WWriteNVRAMUserItem", "dataSize", [d](uint32_t h) { return WWriteNVRAMUserItem(h, 1, 0, d, 1491); }},
        {"WWriteNVRAMUserItem", "pData", [](uint32_t h) { return WWriteNVRAMUserItem(h, 1, 0, nullptr, 1); }},
        {"WReadNVRAMUserItemVer", "pData", [](uint32_t h) { return WReadNVRAMUserItemVer(h, 1, 0, nullptr, 4, nullptr, nullptr); }},
        {"WWriteNVRAMUserItemVer", "dataSize", [d](uint32_t h) { return WWriteNVRAMUserItemVer(h, 1, 0, d, 1490, 1); }},
        {"WSetAFCAndMeasure", "pFreqOffset", [](uint32_t h) { return WSetAFCAndMeasure(h, 1, 1, nullptr); }},
        {"WGetGainProgramWord", "pGainWord", [](uint32_t h) { return WGetGainProgramWord(h, 1, 1, nullptr); }},
        {"WGetPowerValue", "pRssi", [](uint32_t h) { return WGetPowerValue(h, 1, 1, 0, nullptr); }},
        {"WGetUsedIQOffsetValues", "pOffsets", [](uint32_t h) { return WGetUsedIQOffsetValues(h, 1, nullptr); }},
        {"WSetPowerRamp", "pRamp", [](uint32_t h) { return WSetPowerRamp(h, nullptr); }},
        {"WConfigureGPRSMultiFrame", "pSlotMapping", [](uint32_t h) { return WConfigureGPRSMultiFrame(h, 1, nullptr, 1, 2, 3, 4, 5, 6, 7); }},
        {"WBBCRegister", "pValues", [w](uint32_t h) { return WBBCRegister(h, 0x1, w, nullptr, w); }},
        {"WBBCRegister", "pAddresses", [w](uint32_t h) { return WBBCRegister(h, 0x2, nullptr, w, w); }},
        {"WGetNextGainCode", "pCode", [](uint32_t h) { return WGetNextGainCode(h, nullptr); }},
        {"WSetBurstData", "pBurstData", [](uint32_t h) { return WSetBurstData(h, nullptr, 0); }},
        {"WSetCircuitSwitchedTDMAFrame", "pBurstOn", [w](uint32_t h) { return WSetCircuitSwitchedTDMAFrame(h, 1, nullptr, w, w, 0, 0, 0, 1, 9); }},
        {"WSetCircuitSwitchedTDMAFrame", "pChannels", [d, w](uint32_t h) { return WSetCircuitSwitchedTDMAFrame(h, 1, d, nullptr, w, 0, 0, 0, 1, 9); }},
        {"WSetCircuitSwitchedTDMAFrame", "pGains", [d, w](uint32_t h) { return WSetCircuitSwitchedTDMAFrame(h, 1, d, w, nullptr, 0, 0, 0, 1, 9); }},
        {"WQuorleStoreCalibrationDataScalingFactors", "pFactors", [](uint32_t h) { return WQuorleStoreCalibrationDataScalingFactors(h, 1, 0, nullptr); }},
        {"WQuorleStoreCalibrationDataAGCGainWords", "pGainWords", [](uint32_t h) { return WQuorleStoreCalibrationDataAGCGainWords(h, 1, nullptr); }},
        {"WQuorleStoreCalibrationDataAGCAccurateValues", "pAccurateValues", [](uint32_t h) { return WQuorleStoreCalibrationDataAGCAccurateValues(h, 1, nullptr); }},
        {"WGetFlashSerialNumber", "pSerialNumber", [](uint32_t h) { return WGetFlashSerialNumber(h, nullptr); }},
        {"WGetSingleIE", "pValue", [](uint32_t h) { return WGetSingleIE(h, 1, nullptr); }},
        {"WReadSerialNumber", "pSerialNumber", [](uint32_t h) { return WReadSerialNumber(h, nullptr); }},
        {"WReadIMEI", "pImei", [](uint32_t h) { return WReadIMEI(h, nullptr); }},
        {"WFreezeIMEI", "pImei", [](uint32_t h) { return WFreezeIMEI(h, nullptr); }},
        {"WSetSecurityMode", "pMode", [](uint32_t h) { return WSetSecurityMode(h, nullptr, 0); }},
        {"WRequestChallenge", "pChallenge", [](uint32_t h) { return WRequestChallenge(h, nullptr); }},
        {"WSendResponse", "pResponse", [](uint32_t h) { return WSendResponse(h, nullptr); }},
        {"WGetMobileInformation", "pInformation", [](uint32_t h) { return WGetMobileInformation(h, nullptr); }},
        {"WSendAtCommand", "text", [](uint32_t h) { return WSendAtCommand(h, nullptr, nullptr); }},
        {"WReceiveAtCommand", "response", [](uint32_t h) { return WReceiveAtCommand(h, nullptr); }},
        {"WSendAtCommandAndWait", "command", [](uint32_t h) { return WSendAtCommandAndWait(h, nullptr, "OK", 1); }},
        {"WSendAtCommandAndWait", "expected", [](uint32_t h) { return WSendAtCommandAndWait(h, "AT", nullptr, 1); }},
        {"WStartCircuitSwitchedCall", "number", [](uint32_t h) { return WStartCircuitSwitchedCall(h, nullptr); }},
        {"WGetBootloaderVersion", "text", [](uint32_t h) { return WGetBootloaderVersion(h, nullptr); }},
        {"WSwitchTargetToOperationMode", "operationMode", [](uint32_t h) { return WSwitchTargetToOperationMode(h, 4); }},
    };
    // clang-format on
}

TEST_F(HonestFailures, ABadArgumentIsRefusedBeforeAnythingIsSent)
{
    ModuleLink link(11, "honest-arguments");
    for (const BadArgument& bad : badArguments()) {
        link.connection().storeError(EMMIERR_OK);
        const size_t sent = link.sim().hostMessages().size();
        const size_t before = traceTexts().size();
        EXPECT_EQ(bad.run(link.handle()), 0) << bad.name << " " << bad.argument;
        EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_BAD_ARGUMENT) << bad.name;
        EXPECT_EQ(link.sim().hostMessages().size(), sent) << bad.name << " sent a request";
        std::vector<std::string> lines = traceTexts();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
        const std::string prefix = std::string("(CFC ) ") + bad.name + ": argument " + bad.argument;
        const auto named = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0 &&
                   line.find("fails with error 11") != std::string::npos;
        });
        EXPECT_EQ(named, 1) << bad.name << " " << bad.argument;
    }

    // The two lengths the operations have always refused in their own words.
    link.connection().storeError(EMMIERR_OK);
    EXPECT_EQ(WSendAtCommand(link.handle(), std::string(127, 'A').c_str(), nullptr), 0);
    EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_BAD_ARGUMENT);
    link.connection().storeError(EMMIERR_OK);
    EXPECT_EQ(WStartCircuitSwitchedCall(link.handle(), std::string(252, '1').c_str()), 0);
    EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_BAD_ARGUMENT);
    EXPECT_TRUE(link.sim().hostMessages().empty());
}

TEST_F(HonestFailures, OptionalOutputsStayOptional)
{
    ModuleLink link(12, "honest-optional");
    const uint32_t h = link.handle();
    std::array<uint8_t, 8> data{1, 2, 3, 4, 5, 6, 7, 8};
    std::array<uint16_t, 8> addresses{};
    ASSERT_EQ(WWriteNVRAMUserItem(h, 5, 0, data.data(), 8), 1);
    EXPECT_EQ(WReadNVRAMUserItem(h, 5, 0, data.data(), 8, nullptr), 1);
    EXPECT_EQ(WReadNVRAMUserItemVer(h, 5, 0, data.data(), 8, nullptr, nullptr), 1);
    EXPECT_EQ(WBBCRegister(h, 0x2, addresses.data(), nullptr, nullptr), 1)
        << "a read writes nothing";
    EXPECT_EQ(WResetIMEIMode(h, nullptr), 1);
    ASSERT_EQ(WStartLoopback(h, 10, 20, 3, 5, 7), 1);
    EXPECT_EQ(WGetLoopbackData(h, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(WSendAtCommand(h, "ATI", nullptr), 1);
    EXPECT_EQ(WReadNVRAMUserItem(h, 5, 0, nullptr, 0, nullptr), 1) << "no bytes need no area";
}

// Request ids of the calls whose confirms are cut below.
constexpr uint16_t kUserItemRead = 49;
constexpr uint16_t kCheckCal = 57;
constexpr uint16_t kReadImei = 79;
constexpr uint16_t kInitImei = 81;
constexpr uint16_t kGainCodeTable = 95;

// Confirms written from the layouts: reference, then the fields.
Bytes imeiConfirm(uint16_t reference, size_t cut)
{
    Bytes confirm = concat(le16(reference), Bytes{0x35, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34});
    confirm.push_back(0); // status
    confirm.resize(cut, 0x77);
    return confirm;
}

TEST_F(HonestFailures, AConfirmCutShortDeliversNothing)
{
    auto imeiCut = std::make_shared<std::atomic<size_t>>(6);
    ScriptedModule module(
        13, "honest-short", [imeiCut](sim::Simulator& m, const sim::HostMessage& request) {
            const uint16_t ref = referenceOf(request);
            const uint16_t confirm = static_cast<uint16_t>(request.command + 1);
            switch (request.command) {
            case kReadImei: m.sendMessage(confirm, imeiConfirm(ref, *imeiCut)); break;
            // Cut before the status byte.
            case kInitImei: m.sendMessage(confirm, le16(ref)); break;
            // Length 4 but two data bytes.
            case kUserItemRead:
                m.sendMessage(confirm, concat(concat(le16(ref), le16(4)), Bytes{0, 0xA1, 0xA2}));
                break;
            // Without its last byte, which is never read: whole.
            case kCheckCal:
                m.sendMessage(confirm, concat(concat(le16(ref), le16(1)), Bytes{0}));
                break;
            // Three codes announced, two sent.
            case kGainCodeTable:
                m.sendMessage(confirm, concat(concat(le16(ref), le16(1)),
                                              concat(le16(3), concat(le16(0x101), le16(0x102)))));
                break;
            default: break;
            }
        });
    module.quickSilence();
    const uint32_t h = module.handle();

    std::array<uint8_t, 8> imei{};
    EXPECT_EQ(WReadIMEI(h, imei.data()), 0);
    EXPECT_EQ(WGetLastError(h), CFCRPC_BAD_CONFIRM);
    EXPECT_EQ(imei, (std::array<uint8_t, 8>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    for (const size_t whole : {size_t{11}, size_t{12}}) {
        *imeiCut = whole;
        EXPECT_EQ(WReadIMEI(h, imei.data()), 1) << whole << " bytes";
        EXPECT_EQ(imei, (std::array<uint8_t, 8>{0x35, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34}));
    }

    EXPECT_EQ(WInitIMEI(h), 0);
    EXPECT_EQ(WGetLastError(h), CFCRPC_BAD_CONFIRM);

    std::array<uint8_t, 4> item{9, 9, 9, 9};
    uint16_t length = 77;
    EXPECT_EQ(WReadNVRAMUserItem(h, 1, 0, item.data(), 4, &length), 0);
    EXPECT_EQ(WGetLastError(h), CFCRPC_BAD_CONFIRM);
    EXPECT_EQ(item, (std::array<uint8_t, 4>{9, 9, 9, 9}));
    EXPECT_EQ(length, 77);

    uint8_t present = 0;
    EXPECT_EQ(WCheckNVRAMCalibrationItem(h, 1, &present), 1);
    EXPECT_EQ(present, 1);

    EXPECT_EQ(WInitGainCodeTemplates(h, 1, 1), 0);
    EXPECT_EQ(WGetLastError(h), CFCRPC_BAD_CONFIRM);
}

TEST_F(HonestFailures, AModuleThatKeepsItsModeFailsTheInitialisationWithItsCode)
{
    sim::Options options;
    options.firmware.keepsOperationMode = true;
    ModuleLink link(14, "honest-mode", ModuleLink::Module::Simulator, options);
    link.connection().storeError(EMMIERR_OK);
    EXPECT_EQ(WInitServiceMode(link.handle()), 0);
    EXPECT_EQ(WGetLastError(link.handle()), EMMIERR_MODE_NOT_TAKEN);
}

TEST_F(HonestFailures, AtWaitGoesOnReceivingAfterAFailedFirstSend)
{
    ScriptedModule module(
        15, "honest-at-wait", [](sim::Simulator& m, const sim::HostMessage& request) {
            if (request.command != cfc::CFCRequestSendAtCommand)
                return;
            const uint16_t ref = referenceOf(request);
            m.sendMessage(cfc::CFCConfirmSendAtCommand, concat(le16(ref), atTextArea("AT+COPS")));
            // A response cut off inside its text fails the send.
            m.sendMessage(cfc::CFCConfirmSendAtCommand, concat(le16(ref), bytesOf("\r\nWAIT")));
            // The module's later text, which answers no request.
            m.sendMessage(cfc::CFCConfirmSendAtCommand,
                          concat(le16(static_cast<uint16_t>(ref + 1)), atTextArea("\r\nOK\r\n")));
        });
    module.quickSilence();
    EXPECT_EQ(WSendAtCommandAndWait(module.handle(), "AT+COPS", "OK", 2), 1);
    EXPECT_TRUE(traced("(CFC ) WSendAtCommand: CFCRPCSendAtCommand fails with error 5"));
    EXPECT_TRUE(traced("(CFC ) Attempting receive (#1)"));
    EXPECT_TRUE(traced("(CFC ) WSendAtCommandAndWait: O.K."));
}

TEST_F(HonestFailures, TidyUpAndCallLinesOfTheOperationsThatHaveSteps)
{
    ModuleLink link(16, "honest-tdma");
    const std::array<uint8_t, 4> on{1, 1, 0, 0};
    const std::array<uint16_t, 4> channels{62, 63, 64, 65};
    ASSERT_EQ(WSetCircuitSwitchedTDMAFrame(link.handle(), 1, on.data(), channels.data(),
                                           channels.data(), 0, 0, 0, 5, 90),
              1);
    const std::vector<std::string> lines = traceTexts();
    const auto at = [&](const std::string& start) {
        return std::find_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.rfind(start, 0) == 0; }) -
               lines.begin();
    };
    const auto call = at("(CFC ) WSetCircuitSwitchedTDMAFrame(burstType=1");
    const auto ramp = at("(CFC ) WSetRampScaleFactor(scaleFactor=90)");
    const auto lower = at("(CFC ) WSetCircuitSwitchedTDMAFrame: call CFCRPCCalDevGsmSetBurst()...");
    ASSERT_LT(lower, static_cast<std::ptrdiff_t>(lines.size()));
    EXPECT_LT(call, ramp) << "the operation's own call line comes first";
    EXPECT_LT(ramp, lower);
}

} // namespace
