// Operation modes against a simulated module over the in-memory line: the
// switch reads, sets and checks; a test mode is finished first; the public
// numbers select their modes; the initialisations bring the line to EMMI.
#include "cfc_opmode.h"
#include "cfcrpc.h"
#include "main_path_test_support.h"

#include <gtest/gtest.h>

using namespace cfctest;
using sim::OperationMode;
namespace rpc = sim::rpc;

namespace {

constexpr const char* kAlreadyInService =
    "(CFC ) SwitchTargetToOperationMode: target already in mode 1";

class OperationModes : public MainPathTest {
protected:
    OperationModes() : MainPathTest(11, "opmode") {}
};

TEST_F(OperationModes, ModuleAlreadyInTheModeIsOnlyRead)
{
    startModule(firmwareOptions(OperationMode::Service));
    EXPECT_EQ(cfc::SwitchTargetToOperationMode(cfctest::connectionOf(handle_),
                                               cfc::kOperationModeService),
              1);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode}));
    EXPECT_TRUE(inOrder(newTraceLines(), {"(CFC ) SwitchTargetToOperationMode(operationMode=1)",
                                          kAlreadyInService}));
}

TEST_F(OperationModes, TestModeIsFinishedBeforeTheSetAndTheCheck)
{
    startModule(firmwareOptions(OperationMode::Test));
    EXPECT_EQ(cfc::SwitchTargetToOperationMode(cfctest::connectionOf(handle_),
                                               cfc::kOperationModeService),
              1);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode, rpc::kCalDevGsmFinish,
                                                 rpc::kSetOperationMode, rpc::kGetOperationMode}));
    EXPECT_EQ(module().operationMode(), OperationMode::Service);
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) SwitchTargetToOperationMode: current mode 2, call CFCRPCSetCurrentOperationMode(1)...",
         "(CFC ) SwitchTargetToOperationMode: target in test mode, finish test mode...",
         "(CFC ) SwitchTargetToOperationMode: test mode finished",
         "(CFC ) SwitchTargetToOperationMode: check -> CFCRPCGetCurrentOperationMode()...",
         "(CFC ) SwitchTargetToOperationMode: target successfully set to mode 1"}));
}

TEST_F(OperationModes, SetTakenButModeKeptFailsWithItsOwnCode)
{
    sim::Options options = firmwareOptions(OperationMode::Normal);
    options.firmware.keepsOperationMode = true;
    startModule(options);
    EXPECT_EQ(cfc::SwitchTargetToOperationMode(cfctest::connectionOf(handle_),
                                               cfc::kOperationModeService),
              0);
    EXPECT_EQ(lastError(), EMMIERR_MODE_NOT_TAKEN)
        << "every call succeeded; only the mode is wrong";
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) SwitchTargetToOperationMode: mode 0, target *NOT* successfully set to mode 1"}));
}

bool isModeRead(const sim::HostMessage& request)
{
    return request.command == rpc::kGetOperationMode;
}

TEST_F(OperationModes, FailedReadIsTheLastError)
{
    startModule(firmwareOptions(OperationMode::Normal), isModeRead);
    EXPECT_EQ(cfc::SwitchTargetToOperationMode(cfctest::connectionOf(handle_),
                                               cfc::kOperationModeService),
              0);
    EXPECT_EQ(lastError(), cfc::kRpcNoConfirm);
    EXPECT_EQ(requests(), (std::vector<uint16_t>{rpc::kGetOperationMode}));
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) SwitchTargetToOperationMode: CFCRPCGetCurrentOperationMode fails with error 2"}));
}

TEST_F(OperationModes, PublicNumbersSelectTheirModes)
{
    startModule(firmwareOptions(OperationMode::Normal));
    EXPECT_EQ(WSwitchTargetToOperationMode(handle_, CFCTestMode), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Test);
    EXPECT_EQ(WSwitchTargetToOperationMode(handle_, CFCAirplaneMode), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Airplane);
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WSwitchTargetToOperationMode(operationMode 3)",
         "(CFC ) WSwitchTargetToOperationMode: calling SwitchTargetToOperationMode(cfcHandle, TargetOperationModeTestMode)",
         "(CFC ) SwitchTargetToOperationMode(operationMode=2)",
         "(CFC ) WSwitchTargetToOperationMode rets 1",
         "(CFC ) WSwitchTargetToOperationMode: calling SwitchTargetToOperationMode(cfcHandle, TargetOperationModeAirplaneMode)",
         "(CFC ) SwitchTargetToOperationMode(operationMode=4)"}));

    const size_t asked = module().hostMessages().size();
    EXPECT_EQ(WSwitchTargetToOperationMode(handle_, 5), 0);
    EXPECT_EQ(module().hostMessages().size(), asked) << "an invalid number asks the module nothing";
    EXPECT_EQ(newTraceLines(),
              (std::vector<std::string>{"(CFC ) WSwitchTargetToOperationMode(operationMode 5)",
                                        "(CFC ) WSwitchTargetToOperationMode: argument "
                                        "operationMode (5, at most 3) fails with error 11",
                                        "(CFC ) WSwitchTargetToOperationMode rets 0"}));
    EXPECT_EQ(lastError(), EMMIERR_BAD_ARGUMENT);
}

TEST_F(OperationModes, ExitServiceModeReachesNormalMode)
{
    startModule(firmwareOptions(OperationMode::Service));
    EXPECT_EQ(WExitServiceMode(handle_), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Normal);
    EXPECT_TRUE(
        inOrder(newTraceLines(),
                {"(CFC ) WExitServiceMode()",
                 "(CFC ) WExitServiceMode: call WSwitchTargetToOperationMode(CFCNormalMode)...",
                 "(CFC ) WExitServiceMode O.K."}));
}

TEST_F(OperationModes, ExitServiceModeFailureKeepsTheCallsError)
{
    startModule(firmwareOptions(OperationMode::Service), isModeRead);
    EXPECT_EQ(WExitServiceMode(handle_), 0);
    EXPECT_EQ(lastError(), cfc::kRpcNoConfirm);
    EXPECT_TRUE(
        inOrder(newTraceLines(),
                {"(CFC ) WExitServiceMode: WSwitchTargetToOperationMode fails with error 0"}));
}

TEST_F(OperationModes, InitialisationsSwitchLineAndFirmwareInTheirOrder)
{
    startModule(firmwareOptions(OperationMode::Normal));
    module().setMode(sim::Mode::At);
    EXPECT_EQ(WInitServiceMode(handle_), 1);
    EXPECT_EQ(module().mode(), sim::Mode::Emmi);
    EXPECT_EQ(module().operationMode(), OperationMode::Service);
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WInitServiceMode()", "(CFC ) WInitServiceMode: switch serial to EMMI mode...",
         "(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1",
         "(CFC ) WInitServiceMode: switch target to service mode...",
         "(CFC ) SwitchTargetToOperationMode(operationMode=1)", "(CFC ) WInitServiceMode: O.K."}));

    EXPECT_EQ(WInitTestMode(handle_), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Test);
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WInitTestMode()", "(CFC ) WInitTestMode: switch serial to EMMI mode...",
         "(CFC ) SwitchSerialToEMMIMode: target serial in EMMI mode, O.K.",
         "(CFC ) WInitTestMode: FAST_DLL: skip 4 secs wait 'wait 4 secs before switching target to test mode...'",
         "(CFC ) WInitTestMode: switch target to test mode...", "(CFC ) WInitTestMode: O.K."}));

    EXPECT_EQ(WInitNormalModeFromTestMode(handle_), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Normal);
    EXPECT_TRUE(inOrder(
        newTraceLines(),
        {"(CFC ) WInitNormalModeFromTestMode()",
         "(CFC ) WInitNormalModeFromTestMode: switch target to normal mode...",
         "(CFC ) SwitchTargetToOperationMode: test mode finished",
         "(CFC ) WInitNormalModeFromTestMode: FAST_DLL: skip 2 secs wait 'let the system come up...'",
         "(CFC ) WInitNormalModeFromTestMode: O.K."}));

    EXPECT_EQ(WInitAirplaneMode(handle_), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Airplane);
    EXPECT_EQ(WInitNormalMode(handle_), 1);
    EXPECT_EQ(module().operationMode(), OperationMode::Normal);
    EXPECT_TRUE(
        inOrder(newTraceLines(),
                {"(CFC ) WInitAirplaneMode: switch target to airplane mode...",
                 "(CFC ) WInitAirplaneMode: O.K.",
                 "(CFC ) WInitNormalMode: switch target to normal mode...",
                 "(CFC ) WInitNormalMode: FAST_DLL: skip 2 secs wait 'let the system come up...'",
                 "(CFC ) WInitNormalMode: O.K."}));
}

TEST_F(OperationModes, InitialisationEmptiesTheSignalTraceLists)
{
    startModule(firmwareOptions(OperationMode::Normal));
    cfc::SignalTraceLists& lists = connection().signals.lists;
    lists.baseCount = 2;
    lists.addedCount = 3;
    lists.removedCount = 1;
    EXPECT_EQ(WInitServiceMode(handle_), 1);
    EXPECT_EQ(lists.baseCount + lists.addedCount + lists.removedCount, 0);
}

TEST_F(OperationModes, FailedModeSwitchEndsTheInitialisation)
{
    sim::Options options = firmwareOptions(OperationMode::Normal);
    options.firmware.keepsOperationMode = true;
    startModule(options);
    EXPECT_EQ(WInitAirplaneMode(handle_), 0);
    const std::vector<std::string> lines = newTraceLines();
    EXPECT_TRUE(inOrder(lines, {"(CFC ) WInitAirplaneMode: SwitchTargetToOperationMode fails"}));
    EXPECT_FALSE(inOrder(lines, {"(CFC ) WInitAirplaneMode: O.K."}));
}

TEST_F(OperationModes, BadHandleIsRefusedWithoutTrace)
{
    startModule(firmwareOptions(OperationMode::Normal));
    const uint32_t bad = handle_ ^ 0x1;
    for (auto* init : {WInitServiceMode, WInitNormalMode, WInitTestMode, WInitAirplaneMode,
                       WInitNormalModeFromTestMode, WExitServiceMode})
        EXPECT_EQ(init(bad), 0);
    EXPECT_TRUE(newTraceLines().empty());
    EXPECT_TRUE(module().hostMessages().empty());
}

} // namespace
