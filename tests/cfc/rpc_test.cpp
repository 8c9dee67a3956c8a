// Remote procedure calls over the in-memory line: the confirm waits and their
// reference matching, the reception that drops other messages, the calls of
// the main path against the simulator's firmware, the autostart request's
// second series for the firmware that needs it, and AT commands with their
// escaped line ends.
#include "cfcemmi.h"
#include "cfcrpc.h"
#include "cfcrpc_engine.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace cfctest;

namespace {

using cfc::rpc::DrawReference;

// Confirms of the operation mode request: reference, status, mode.
Bytes modeConfirm(uint16_t reference, uint16_t status, uint8_t mode)
{
    Bytes confirm = concat(le16(reference), le16(status));
    confirm.push_back(mode);
    return confirm;
}

Bytes autoStartConfirm(uint16_t reference, uint8_t result)
{
    Bytes confirm = le16(reference);
    confirm.push_back(result);
    return confirm;
}

std::string expectedCmdLine(uint16_t id)
{
    char line[96];
    std::snprintf(line, sizeof line,
                  "(EMMI) CFCReceiveFromTarget: expected cmd 0x%x, dataLength %d", id,
                  id == cfc::CFCConfirmSwitchJavaAutoStart ? 3 : 5);
    return line;
}

TEST(RpcReference, CountsUpAndWrapsFrom65535To0)
{
    uint16_t drawn = DrawReference();
    EXPECT_EQ(DrawReference(), static_cast<uint16_t>(drawn + 1));
    while (drawn != 65535)
        drawn = DrawReference();
    EXPECT_EQ(DrawReference(), 0);
    EXPECT_EQ(DrawReference(), 1);
}

TEST(RpcFields, PackAndReadLittleEndianWithinTheirAreas)
{
    std::array<uint8_t, 7> area{};
    cfc::rpc::Payload payload(area);
    payload.le16(0x1234).u8(0xAB).le32(0x89ABCDEF);
    EXPECT_FALSE(payload.overflowed());
    EXPECT_EQ(Bytes(area.begin(), area.end()), (Bytes{0x34, 0x12, 0xAB, 0xEF, 0xCD, 0xAB, 0x89}));
    // A field that does not fit is not written in part.
    payload.u8(1);
    EXPECT_TRUE(payload.overflowed());
    EXPECT_EQ(payload.size(), 7);

    // Nor is a wider field that would end beyond the area.
    std::array<uint8_t, 4> narrow;
    narrow.fill(0x5A);
    cfc::rpc::Payload cut(narrow);
    cut.u8(1).le32(0x89ABCDEF);
    EXPECT_TRUE(cut.overflowed());
    EXPECT_EQ(Bytes(narrow.begin(), narrow.end()), (Bytes{1, 0x5A, 0x5A, 0x5A}));

    const cfc::rpc::Fields fields(std::span<const uint8_t>(area).first(5));
    EXPECT_EQ(fields.le16(0), 0x1234);
    EXPECT_EQ(fields.le32(3), 0x0000CDEFu) << "bytes beyond the confirm read as zero";
    EXPECT_EQ(fields.u8(99), 0);
    EXPECT_EQ(fields.bytes(4, 10).size(), 1u);
}

TEST(RpcEscape, LineEndsBecomeTagsWithinTheTarget)
{
    char target[cfc::kAtResponseSize];
    EXPECT_EQ(cfc::EscapeLineEnds("\r\nOK\r\n", target, sizeof target), 6u);
    EXPECT_STREQ(target, "<CR><LF>OK<CR><LF>");
    EXPECT_EQ(cfc::EscapeLineEnds("", target, sizeof target), 0u);
    EXPECT_STREQ(target, "");

    // Four bytes per character always suffice; a smaller target cuts before
    // an escape that no longer fits whole.
    char small[8];
    EXPECT_EQ(cfc::EscapeLineEnds("ab\r\n", small, sizeof small), 4u);
    EXPECT_STREQ(small, "ab<CR>");
}

TEST(RpcJudge, VersionTextStaysInsideTheCallersArea)
{
    // A text without zero byte that fills the whole confirm area.
    Bytes confirm = concat(concat(le16(7), le16(0)), concat(le32(0x11223344), le32(0x00020003)));
    confirm.resize(confirm.size() + 40, 'x');
    std::array<char, 16> text;
    text.fill('#');
    uint32_t hardware = 0;
    uint32_t rpc = 0;
    EXPECT_EQ(cfc::JudgeVersionConfirm(confirm, &hardware, &rpc, text.data(), 16), cfc::kRpcOk);
    EXPECT_EQ(hardware, 0x11223344u);
    EXPECT_EQ(rpc, 0x00020003u);
    EXPECT_EQ(std::string(text.data()), std::string(15, 'x'));

    // A short text is followed by zero bytes up to the area's end.
    Bytes shortText = concat(Bytes(12, 0), bytesOf("ab"));
    text.fill('#');
    cfc::JudgeVersionConfirm(shortText, nullptr, nullptr, text.data(), 16);
    EXPECT_EQ(std::string(text.data()), "ab");
    EXPECT_TRUE(std::all_of(text.begin() + 2, text.end(), [](char c) { return c == '\0'; }));
}

class RpcConfirm : public TracedTest {};

TEST_F(RpcConfirm, AConfirmOneReferenceLowIsSkippedAndTheMatchingOneTaken)
{
    ScriptedModule module(2, "rpc-lower", [](sim::Simulator& m, const sim::HostMessage& request) {
        const uint16_t reference = referenceOf(request);
        // Left over from an earlier call that gave up waiting.
        m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode,
                      modeConfirm(static_cast<uint16_t>(reference - 1), 0, 2));
        m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode, modeConfirm(reference, 0, 1));
    });
    uint8_t mode = 0xEE;
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(module.handle()), &mode),
              cfc::kRpcOk);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 1u);
}

TEST_F(RpcConfirm, ThreeForeignReferencesEndThreeReceptionsWith4)
{
    ScriptedModule module(
        3, "rpc-three-foreign", [](sim::Simulator& m, const sim::HostMessage& request) {
            const uint16_t reference = referenceOf(request);
            for (uint16_t back = 3; back >= 1; --back)
                m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode,
                              modeConfirm(static_cast<uint16_t>(reference - back), 0, 1));
            m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode, modeConfirm(reference, 0, 1));
        });
    uint8_t mode = 0xEE;
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(module.handle()), &mode),
              cfc::kRpcBadReference);
    EXPECT_EQ(mode, 0xEE);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 3u);
    // The fourth, matching confirm was never taken.
    const Received left = takeMessage(module.handle());
    EXPECT_EQ(left.result, cfc::kRxQueueDelivered);
    EXPECT_EQ(left.command, cfc::CFCConfirmGetCurrentOperationMode);
}

TEST_F(RpcConfirm, FiveAttemptsLetTheFifthConfirmDecide)
{
    // Foreign references before the matching confirm, per request: four, then five.
    auto foreignFirst = std::make_shared<std::atomic<int>>(4);
    ScriptedModule module(
        4, "rpc-five", [foreignFirst](sim::Simulator& m, const sim::HostMessage& request) {
            const uint16_t reference = referenceOf(request);
            const int foreign = foreignFirst->fetch_add(1);
            for (int back = foreign; back >= 1; --back)
                m.sendMessage(cfc::CFCConfirmSwitchJavaAutoStart,
                              autoStartConfirm(static_cast<uint16_t>(reference - back), 0));
            m.sendMessage(cfc::CFCConfirmSwitchJavaAutoStart, autoStartConfirm(reference, 0));
        });
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(module.handle()), 0),
              cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(module.handle()), 0),
              cfc::kRpcBadReference);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 0u)
        << "five attempts pass foreign references silently";
    EXPECT_EQ(module.requestsOf(cfc::CFCRequestSwitchJavaAutoStartAgain), 0u);
}

TEST_F(RpcConfirm, AMessageWithAnotherIdIsDroppedOnTheWayToTheConfirm)
{
    ScriptedModule module(
        5, "rpc-foreign-id", [](sim::Simulator& m, const sim::HostMessage& request) {
            m.sendMessage(0x50, bytesOf("unrelated"));
            m.sendMessage(cfc::CFCConfirmCalDevGsmFinish, le16(referenceOf(request)));
        });
    EXPECT_EQ(cfc::CFCRPCCalDevGsmFinish(cfctest::connectionOf(module.handle())), cfc::kRpcOk);
    EXPECT_TRUE(traced("(EMMI) ReceiveFromTarget: expected cmd 0xa - No match!"));
    EXPECT_TRUE(traced("(EMMI) ReceiveFromTarget: expected cmd 0xa - Match!"));
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(module.handle()).messages));
}

TEST_F(RpcConfirm, AModuleChatteringAboutOtherThingsCannotStretchTheReception)
{
    ScriptedModule module(8, "rpc-chatter", [](sim::Simulator&, const sim::HostMessage&) {});
    cfc::GetTargetVersion(cfctest::connectionOf(module.handle()));
    // A message for nobody every 200 ms, each one well inside the 1000 ms
    // wait; it stops by itself, so a reception that waits for silence still
    // ends, only late.
    std::atomic<bool> quiet{false};
    std::thread chatter([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!quiet.load() && std::chrono::steady_clock::now() < end) {
            module.sim().sendMessage(0x50, freshBytes(8));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    uint8_t mode = 0xEE;
    const uint16_t result =
        cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(module.handle()), &mode);
    const auto took = std::chrono::steady_clock::now() - start;
    quiet = true;
    chatter.join();
    EXPECT_EQ(result, cfc::kRpcNoConfirm);
    // One reception of 1000 ms; the bound leaves room for a loaded machine.
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_TRUE(traced("(EMMI) ReceiveFromTarget: expected cmd 0x64 - No match!"));
}

TEST_F(RpcConfirm, AShortConfirmIsRefusedNotJudgedAgainstAnEarlierConfirm)
{
    ScriptedModule module(6, "rpc-short", [](sim::Simulator& m, const sim::HostMessage& request) {
        const uint16_t reference = referenceOf(request);
        // A foreign confirm with a failure status and test mode, then the
        // matching one cut after its reference.
        m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode,
                      modeConfirm(static_cast<uint16_t>(reference + 9), 0x0101, 2));
        m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode, le16(reference));
    });
    uint8_t mode = 0xEE;
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(module.handle()), &mode),
              cfc::kRpcBadConfirm);
    EXPECT_EQ(mode, 0xEE) << "nothing of a confirm without its fields is delivered";
}

TEST_F(RpcConfirm, ASilentModuleEndsThreeReceptionsAtTheFirstAndFiveAttemptsAtTheFifth)
{
    ScriptedModule module(7, "rpc-silent", [](sim::Simulator&, const sim::HostMessage&) {});
    cfc::GetTargetVersion(cfctest::connectionOf(module.handle()));
    module.quickSilence();
    uint8_t mode = 0xEE;
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(module.handle()), &mode),
              cfc::kRpcNoConfirm);
    EXPECT_EQ(countOf(expectedCmdLine(cfc::CFCConfirmGetCurrentOperationMode)), 1u);
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(module.handle()), 0),
              cfc::kRpcNoConfirm);
    EXPECT_EQ(countOf(expectedCmdLine(cfc::CFCConfirmSwitchJavaAutoStart)), 5u);
    EXPECT_EQ(module.requestsOf(cfc::CFCRequestSwitchJavaAutoStartAgain), 0u)
        << "this firmware gets no second series";
}

TEST_F(RpcConfirm, TheSetModeConfirmIsTakenWhateverItsReferenceAndJudgedByItsStatus)
{
    auto status = std::make_shared<std::atomic<uint16_t>>(0);
    ScriptedModule module(
        8, "rpc-set-mode", [status](sim::Simulator& m, const sim::HostMessage& request) {
            m.sendMessage(cfc::CFCConfirmSetCurrentOperationMode,
                          concat(le16(static_cast<uint16_t>(referenceOf(request) + 100)),
                                 le16(status->load())));
        });
    EXPECT_EQ(cfc::CFCRPCSetCurrentOperationMode(cfctest::connectionOf(module.handle()), 1),
              cfc::kRpcOk);
    status->store(1);
    EXPECT_EQ(cfc::CFCRPCSetCurrentOperationMode(cfctest::connectionOf(module.handle()), 1),
              cfc::kRpcBadConfirm);
    const auto requests = module.sim().hostMessages();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().command, cfc::CFCRequestSetCurrentOperationMode);
    EXPECT_EQ(requests.back().data.size(), 3u);
    EXPECT_EQ(requests.back().data[2], 1);
}

TEST_F(RpcConfirm, AnExpectedLengthAbove1500IsReducedAndAShorterMessageLeavesTheRest)
{
    ModuleLink link(9, "rpc-long");
    const Bytes message = freshBytes(1500);
    link.sim().sendMessage(0x77, message);
    std::vector<uint8_t> area(2000, 0xEE);
    ASSERT_TRUE(cfc::CFCReceiveFromTarget(cfctest::connectionOf(link.handle()).messages,
                                          cfctest::connectionOf(link.handle()).trace, 0x77,
                                          area.data(), 2000));
    EXPECT_TRUE(
        traced("(EMMI) CFCReceiveFromTarget: reduce expected dataLength 2000 to max length 1500"));
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 1500), message);
    EXPECT_EQ(area[1500], 0xEE);

    link.sim().sendMessage(0x77, bytesOf("abc"));
    std::fill(area.begin(), area.end(), 0xEE);
    ASSERT_TRUE(cfc::CFCReceiveFromTarget(cfctest::connectionOf(link.handle()).messages,
                                          cfctest::connectionOf(link.handle()).trace, 0x77,
                                          area.data(), 10));
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 4), (Bytes{'a', 'b', 'c', 0xEE}));
}

// The simulator's firmware on the main path.
TEST(RpcFirmware, ModeSwitchAutostartAndSwitchOffAgainstTheSimulator)
{
    ModuleLink link(10, "rpc-firmware");
    const uint32_t handle = link.handle();
    uint8_t mode = 0xEE;
    ASSERT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(handle), &mode),
              cfc::kRpcOk);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(cfc::CFCRPCSetCurrentOperationMode(cfctest::connectionOf(handle), 2), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(handle), &mode),
              cfc::kRpcOk);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(cfc::CFCRPCCalDevGsmFinish(cfctest::connectionOf(handle)), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(handle), &mode),
              cfc::kRpcOk);
    EXPECT_EQ(mode, 0);

    ASSERT_TRUE(link.sim().javaAutoStart());
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(handle), 0), cfc::kRpcOk);
    EXPECT_FALSE(link.sim().javaAutoStart());

    EXPECT_EQ(cfc::CFCRPCSwitchOff(cfctest::connectionOf(handle)), cfc::kRpcOk);
    EXPECT_TRUE(link.sim().waitForMode(sim::Mode::Off, kPatienceMs));
    const auto requests = link.sim().hostMessages();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().command, cfc::CFCRequestSwitchOff);
    EXPECT_EQ(requests.back().data.size(), 2u);
}

class RpcAutoStart : public TracedTest {
protected:
    static sim::Options firmware(const std::string& name, sim::AutoStartConfirm confirm,
                                 uint8_t result = 0)
    {
        sim::Options options;
        options.firmware.versionText = name + ":firmware&Bln-Bootloader V01.03";
        options.firmware.autoStartConfirm = confirm;
        options.firmware.autoStartResult = result;
        return options;
    }

    // The version is fetched at the normal wait; the empty receptions of the
    // case then take kSilentWaitMs each.
    static void fetchVersionThenHurry(ModuleLink& link)
    {
        cfc::GetTargetVersion(cfctest::connectionOf(link.handle()));
        link.connection().serial.setClass2Timeout(kSilentWaitMs);
    }

    static constexpr const char* kNoAnswer =
        "(RPC ) CFCRPCSwitchJavaAutoStart: no answer (may be bus is closed)";
};

TEST_F(RpcAutoStart, Marlo207IsConfirmedAfterTheRequestComesAgainAs103)
{
    ModuleLink link(11, "rpc-marlo-207", ModuleLink::Module::Simulator,
                    firmware("MARLO_X_207", sim::AutoStartConfirm::AfterFallback));
    fetchVersionThenHurry(link);
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(link.handle()), 0), cfc::kRpcOk);
    EXPECT_TRUE(traced(kNoAnswer));
    EXPECT_FALSE(link.sim().javaAutoStart());

    const auto requests = link.sim().hostMessages();
    ASSERT_GE(requests.size(), 2u);
    const sim::HostMessage& first = requests[requests.size() - 2];
    const sim::HostMessage& again = requests.back();
    EXPECT_EQ(first.command, cfc::CFCRequestSwitchJavaAutoStart);
    EXPECT_EQ(again.command, cfc::CFCRequestSwitchJavaAutoStartAgain);
    EXPECT_EQ(again.data, first.data) << "the same reference and setting";
}

TEST_F(RpcAutoStart, Marlo229GetsNoConfirmFromEitherSeries)
{
    ModuleLink link(12, "rpc-marlo-229", ModuleLink::Module::Simulator,
                    firmware("MARLO_X_229", sim::AutoStartConfirm::Never));
    fetchVersionThenHurry(link);
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(link.handle()), 0),
              cfc::kRpcNoConfirm);
    EXPECT_EQ(countOf(kNoAnswer), 1u);
    EXPECT_TRUE(link.sim().waitForCommand(cfc::CFCRequestSwitchJavaAutoStartAgain, kPatienceMs));
}

TEST_F(RpcAutoStart, Marlo230IsHandledPlainly)
{
    ModuleLink link(13, "rpc-marlo-230", ModuleLink::Module::Simulator,
                    firmware("MARLO_X_230", sim::AutoStartConfirm::AfterFallback));
    fetchVersionThenHurry(link);
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(link.handle()), 0),
              cfc::kRpcNoConfirm);
    EXPECT_FALSE(traced(kNoAnswer));
    for (const sim::HostMessage& request : link.sim().hostMessages())
        EXPECT_NE(request.command, cfc::CFCRequestSwitchJavaAutoStartAgain);
}

TEST_F(RpcAutoStart, ANonZeroResultIsAFailedConfirm)
{
    ModuleLink link(14, "rpc-result-3", ModuleLink::Module::Simulator,
                    firmware("ZEPHIN_B2_240", sim::AutoStartConfirm::AtOnce, 3));
    EXPECT_EQ(cfc::CFCRPCSwitchJavaAutoStart(cfctest::connectionOf(link.handle()), 0),
              cfc::kRpcBadConfirm);
    EXPECT_TRUE(traced("(RPC ) CFCRPCSwitchJavaAutoStart: gives result 3, should be 0"));
    EXPECT_TRUE(link.sim().javaAutoStart());
}

class RpcAtCommand : public TracedTest {};

TEST_F(RpcAtCommand, EchoAndResponseShareTheReferenceAndLineEndsComeBackEscaped)
{
    ScriptedModule module(15, "rpc-at", [](sim::Simulator& m, const sim::HostMessage& request) {
        const uint16_t reference = referenceOf(request);
        m.sendMessage(cfc::CFCConfirmSendAtCommand,
                      concat(le16(reference), Bytes(request.data.begin() + 2, request.data.end())));
        m.sendMessage(cfc::CFCConfirmSendAtCommand, concat(le16(reference), atTextArea("\r\nOK")));
    });
    char response[cfc::kAtResponseSize];
    std::memset(response, '#', sizeof response);
    EXPECT_EQ(cfc::CFCRPCSendAtCommand(cfctest::connectionOf(module.handle()), "ATH", response),
              cfc::kRpcOk);
    EXPECT_STREQ(response, "<CR><LF>OK");
    EXPECT_TRUE(traced("(CRPC) CFCRPCSendAtCommand: rx echo..."));
    EXPECT_TRUE(traced("(CRPC) CFCRPCSendAtCommand: rx response..."));

    const auto requests = module.sim().hostMessages();
    ASSERT_FALSE(requests.empty());
    const sim::HostMessage& sent = requests.back();
    EXPECT_EQ(sent.command, cfc::CFCRequestSendAtCommand);
    ASSERT_EQ(sent.data.size(), 130u);
    EXPECT_EQ(Bytes(sent.data.begin() + 2, sent.data.begin() + 7), (Bytes{'A', 'T', 'H', '\r', 0}));
}

TEST_F(RpcAtCommand, WithoutAResponseAreaOnlyTheEchoIsAwaited)
{
    ModuleLink link(16, "rpc-at-echo");
    EXPECT_EQ(cfc::CFCRPCSendAtCommand(cfctest::connectionOf(link.handle()), "AT+CGATT=0", nullptr),
              cfc::kRpcOk);
    EXPECT_FALSE(traced("(CRPC) CFCRPCSendAtCommand: rx response..."));

    // What the firmware says next is taken by the reception of AT text.
    char text[cfc::kAtResponseSize];
    EXPECT_EQ(cfc::CFCRPCReceiveAtCommand(cfctest::connectionOf(link.handle()), text), cfc::kRpcOk);
    EXPECT_STREQ(text, "<CR><LF>OK<CR><LF>");
}

TEST_F(RpcAtCommand, ACommandTooLongForTheTextAreaIsNotSent)
{
    ModuleLink link(17, "rpc-at-long");
    const std::string longest(cfc::kMaxAtCommandLength, 'A');
    const std::string tooLong = longest + "T";
    EXPECT_EQ(
        cfc::CFCRPCSendAtCommand(cfctest::connectionOf(link.handle()), tooLong.c_str(), nullptr),
        cfc::kRpcNotSent);
    EXPECT_FALSE(link.sim().waitForCommand(cfc::CFCRequestSendAtCommand, 200));

    char response[cfc::kAtResponseSize];
    EXPECT_EQ(
        cfc::CFCRPCSendAtCommand(cfctest::connectionOf(link.handle()), longest.c_str(), response),
        cfc::kRpcOk);
    const auto requests = link.sim().hostMessages();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().data[2 + 126], '\r');
    EXPECT_EQ(requests.back().data[2 + 127], 0);
}

} // namespace
