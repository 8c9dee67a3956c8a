// The Java autostart switch, the switch-off with the steps each firmware asks
// for, the end of a call and AT commands through the firmware, against a
// simulated module over the in-memory line.
#include "cfcrpc.h"
#include "main_path_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cfctest;
using sim::OperationMode;
namespace rpc = sim::rpc;

namespace {

class Autostart : public MainPathTest {
protected:
    Autostart() : MainPathTest(12, "autostart") {}
};

TEST_F(Autostart, SwitchedOffWhenConfirmed)
{
    startModule(firmwareOptions(OperationMode::Service));
    EXPECT_EQ(WSwitchJavaAutoStart(handle_, 0), 1);
    EXPECT_FALSE(module().javaAutoStart());
    EXPECT_TRUE(inOrder(newTraceLines(),
                        {"(CFC ) WSwitchJavaAutoStart(onOff=0",
                         "(CFC ) WSwitchJavaAutoStart: call CFCRPCSwitchJavaAutoStart()...",
                         "(CFC ) WSwitchJavaAutoStart: O.K."}));
}

TEST_F(Autostart, NonZeroConfirmResultFailsWithErrorFive)
{
    sim::Options options = firmwareOptions(OperationMode::Service);
    options.firmware.autoStartResult = 3;
    startModule(options);
    EXPECT_EQ(WSwitchJavaAutoStart(handle_, 0), 0);
    EXPECT_EQ(lastError(), cfc::kRpcBadConfirm);
    EXPECT_TRUE(module().javaAutoStart());
    EXPECT_TRUE(
        inOrder(newTraceLines(),
                {"(RPC ) CFCRPCSwitchJavaAutoStart: gives result 3, should be 0",
                 "(CFC ) WSwitchJavaAutoStart: CFCRPCSwitchJavaAutoStartfails with error 5"}));
}

// Normal mode: the call is hung up, and the GPRS detach follows unless the
// firmware is ZEPHIN 232 with a one-letter postfix A to G.
struct DetachCase {
    const char* firmware;
    bool detach;
};

class NormalModeSwitchOff : public Autostart, public ::testing::WithParamInterface<DetachCase> {};

TEST_P(NormalModeSwitchOff, HangsUpAndDetachesWhereTheFirmwareNeedsIt)
{
    startModule(firmwareOptions(OperationMode::Normal, GetParam().firmware));
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_EQ(module().mode(), sim::Mode::Off);
    const std::vector<std::string> expected = GetParam().detach
                                                  ? std::vector<std::string>{"ATH", "AT+CGATT=0"}
                                                  : std::vector<std::string>{"ATH"};
    EXPECT_EQ(atLines(), expected);
    std::vector<std::string> lines = {
        "(CFC ) WSwitchOff: target in normal mode, try to end active voice call...",
        "(CFC ) WSendAtCommand received: [<CR><LF>OK<CR><LF>]"};
    if (GetParam().detach)
        lines.push_back("(CFC ) WSwitchOff: send extra detach...");
    lines.insert(lines.end(),
                 {"(CFC ) WSwitchOff: special normal mode action finished",
                  "(CFC ) WSwitchOff: call CFCRPCSwitchOff...", "(CFC ) WSwitchOff: O.K."});
    EXPECT_TRUE(inOrder(newTraceLines(), lines));
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, NormalModeSwitchOff,
    ::testing::Values(DetachCase{"ZEPHIN_B2_232C", false}, DetachCase{"ZEPHIN_B2_232A", false},
                      DetachCase{"ZEPHIN_B2_232CA", true}, DetachCase{"ZEPHIN_B2_232H", true},
                      DetachCase{"ZEPHIN_B2_231C", true}, DetachCase{"MARLO_B2_232C", true}));

TEST_F(Autostart, TestModeIsFinishedFromVersion136On)
{
    startModule(firmwareOptions(OperationMode::Test, "TIRVAN_B1_135"));
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode, rpc::kSwitchOff}));
    EXPECT_TRUE(inOrder(newTraceLines(),
                        {"(CFC ) WSwitchOff: *not necessary* to finish test mode first!"}));

    startModule(firmwareOptions(OperationMode::Test, "TIRVAN_B1_136"));
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode, rpc::kCalDevGsmFinish,
                                                 rpc::kSwitchOff}));
    EXPECT_TRUE(inOrder(newTraceLines(),
                        {"(CFC ) WSwitchOff: target in test mode, try to finish test mode...",
                         "(CFC ) WSwitchOff: special test mode action finished"}));
}

TEST_F(Autostart, ServiceModeGoesStraightToTheSwitchOff)
{
    startModule(firmwareOptions(OperationMode::Service));
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode, rpc::kSwitchOff}));
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WSwitchOff", "(CFC ) WSwitchOff: check for normal mode (call may be active!)",
         "(CFC ) WSwitchOff: call CFCRPCSwitchOff...",
         "(CFC ) WSwitchOff: wait until target is switched off...",
         "(CFC ) WSwitchOff: FAST_DLL: skip 5 secs wait 'wait 5 secs, just to be sure...'",
         "(CFC ) WSwitchOff: O.K."}));
}

TEST_F(Autostart, VornaxLibraryNeverWaitsForTheSignalTrace)
{
    startModule(firmwareOptions(OperationMode::Service));
    connection().signals.enable.store(1);
    connection().signals.lists.baseCount = 1;
    EXPECT_EQ(WSwitchOff(handle_), 1);
    connection().signals.enable.store(0);
    EXPECT_FALSE(
        inOrder(newTraceLines(), {"(CFC ) WSwitchOff: let nimbo trace come out... (10 secs)"}));
}

TEST_F(Autostart, UnreadableModeEndsTheSwitchOffBeforeAnyRequest)
{
    startModule(firmwareOptions(OperationMode::Service), [](const sim::HostMessage& request) {
        return request.command == rpc::kGetOperationMode;
    });
    EXPECT_EQ(WSwitchOff(handle_), 0);
    EXPECT_EQ(lastError(), cfc::kRpcNoConfirm);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode}));
    EXPECT_TRUE(inOrder(newTraceLines(),
                        {"(CFC ) WSwitchOff: CFCRPCGetCurrentOperationMode fails with error 2"}));
}

TEST_F(Autostart, TerminateCallHangsUpAndWaitsForTheDetachResponse)
{
    startModule(firmwareOptions(OperationMode::Normal, "ZEPHIN_B2_231"));
    EXPECT_EQ(WTerminateCall(handle_), 1);
    EXPECT_EQ(module().mode(), sim::Mode::Emmi) << "the module stays on";
    EXPECT_EQ(atLines(), (std::vector<std::string>{"ATH", "AT+CGATT=0"}));
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WTerminateCall", "(CFC ) WTerminateCall: check for normal mode",
         "(CFC ) WTerminateCall: target in normal mode, try to end active voice call...",
         "(CFC ) WTerminateCall: send extra detach...",
         "(CFC ) WSendAtCommand [AT+CGATT=0] (length=10)",
         "(CFC ) WSendAtCommand received: [<CR><LF>OK<CR><LF>]",
         "(CFC ) WTerminateCall: normal mode action finished", "(CFC ) WTerminateCall: O.K."}));

    startModule(firmwareOptions(OperationMode::Service));
    EXPECT_EQ(WTerminateCall(handle_), 1);
    EXPECT_TRUE(atLines().empty()) << "outside normal mode there is no call to end";
}

TEST_F(Autostart, TidyUpAtCommandsLeaveNoCodeWhenTheOperationSucceeds)
{
    // The module takes no AT command: hanging up fails, the switch-off and
    // the hang-up still succeed, and the last error stays as it was.
    const auto noAt = [](const sim::HostMessage& request) {
        return request.command == rpc::kSendAtCommand;
    };
    startModule(firmwareOptions(OperationMode::Normal, "ZEPHIN_B2_232C"), noAt);
    cfctest::connectionOf(handle_).storeError(EMMIERR_OK);
    EXPECT_EQ(WTerminateCall(handle_), 1);
    EXPECT_EQ(lastError(), EMMIERR_OK);
    EXPECT_EQ(WSwitchOff(handle_), 1);
    EXPECT_EQ(lastError(), EMMIERR_OK);
    EXPECT_TRUE(
        inOrder(newTraceLines(), {"(CFC ) WSendAtCommand: CFCRPCSendAtCommand fails with error 2",
                                  "(CFC ) WSwitchOff: O.K."}));
}

TEST_F(Autostart, AtCommandOfMoreThan126CharactersIsNeverSent)
{
    startModule(firmwareOptions(OperationMode::Normal));
    char response[CFC_AT_RESPONSE_SIZE] = {};
    EXPECT_EQ(WSendAtCommand(handle_, ("AT" + std::string(125, 'Z')).c_str(), response), 0);
    EXPECT_TRUE(module().hostMessages().empty());
    EXPECT_EQ(newTraceLines(),
              (std::vector<std::string>{"(CFC ) WSendAtCommand: Error, string too long"}));

    const std::string longest = "AT" + std::string(124, 'Z');
    EXPECT_EQ(WSendAtCommand(handle_, longest.c_str(), response), 1);
    EXPECT_EQ(atLines(), (std::vector<std::string>{longest}));
}

TEST_F(Autostart, AtCommandWithoutEchoFailsWithTheCallsError)
{
    startModule(firmwareOptions(OperationMode::Normal), [](const sim::HostMessage& request) {
        return request.command == rpc::kSendAtCommand;
    });
    char response[CFC_AT_RESPONSE_SIZE] = {};
    EXPECT_EQ(WSendAtCommand(handle_, "ATH", response), 0);
    EXPECT_EQ(lastError(), cfc::kRpcNoConfirm);
    EXPECT_TRUE(inOrder(newTraceLines(),
                        {"(CFC ) WSendAtCommand [ATH] (length=3)",
                         "(CFC ) WSendAtCommand: CFCRPCSendAtCommand fails with error 2"}));
}

TEST_F(Autostart, BadHandleIsRefusedWithoutTrace)
{
    startModule(firmwareOptions(OperationMode::Normal));
    const uint32_t bad = handle_ ^ 0x1;
    EXPECT_EQ(WSwitchJavaAutoStart(bad, 0), 0);
    EXPECT_EQ(WSwitchOff(bad), 0);
    EXPECT_EQ(WTerminateCall(bad), 0);
    EXPECT_EQ(WSendAtCommand(bad, "ATH", nullptr), 0);
    EXPECT_TRUE(newTraceLines().empty());
    EXPECT_TRUE(module().hostMessages().empty());
}

} // namespace
