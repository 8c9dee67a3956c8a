// Serial-mode probe and the switch to EMMI against the simulated module and,
// where the answer must be one no module in the simulator gives, by hand.
#include "target_test_support.h"

#include <thread>

namespace cfctest {
namespace {

using namespace cfc;

class SerialModeTest : public TargetTest {};

TEST_F(SerialModeTest, AtModuleIsProbedAndSwitchedWithAtSqwe)
{
    attach(sim::Mode::At);
    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 0), kTargetSerialModeAT);

    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 1), 1);
    EXPECT_EQ(module().mode(), sim::Mode::Emmi);
    EXPECT_EQ(module().counters().serviceBoots + module().counters().normalBoots, 0u);
    EXPECT_TRUE(tracedInOrder({
        "(CFC ) GetTargetSerialMode: AT echo received, target serial in AT mode",
        "(CFC ) SwitchSerialToEMMIMode: get target serial mode...",
        "(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1",
        "(CFC ) SwitchSerialToEMMIMode: check for echo...",
        "(CFC ) SwitchSerialToEMMIMode: check for answer...",
        "(CFC ) SwitchSerialToEMMIMode: target serial entering EMMI mode...",
        "(CFC ) GetTargetSerialMode: NAK received, target serial in EMMI mode",
        "(CFC ) SwitchSerialToEMMIMode: target serial successfully switched to EMMI mode",
        "(CFC ) SwitchSerialToEMMIMode: O.K.",
    }));
    EXPECT_TRUE(link().connection().raw.contents().received.empty())
        << "the switch leaves no raw input behind";
}

TEST_F(SerialModeTest, ModuleInEmmiGetsNothingButTheProbe)
{
    attach(sim::Mode::Emmi);
    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 1), 1);
    sim::Counters seen = module().counters();
    EXPECT_EQ(seen.badFramesReceived, 1u) << "the EMMI test string";
    EXPECT_EQ(seen.strayBytesReceived, 3u) << "the AT test string";
    EXPECT_EQ(seen.framesReceived, 0u);

    EXPECT_EQ(SwitchSerialToEMMIModeEmmiFirst(cfctest::connectionOf(handle()), 0), 1);
    seen = module().counters();
    EXPECT_EQ(seen.badFramesReceived, 2u);
    EXPECT_EQ(seen.strayBytesReceived, 3u) << "EMMI first, an answer ends the probe";
    EXPECT_EQ(seen.serviceBoots + seen.normalBoots, 0u);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: target serial in EMMI mode, O.K."), 2);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1"),
              0);
}

TEST_F(SerialModeTest, EchoInCapitalsIsNoAtMode)
{
    sim::Options options;
    options.firmware.atAnswers = sim::AtAnswers::UpperCaseEcho;
    attach(sim::Mode::At, options);
    // The EMMI test string draws only the echo of its last byte, 0x0D.
    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 0), kTargetSerialModeOff);
    EXPECT_EQ(traced("(CFC ) GetTargetSerialMode: Echo Response on AT not >AT<"), 1);

    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 1), kTargetSerialModeUnknown);
    const std::vector<std::string> lines = traceTexts();
    const auto header = std::find(lines.begin(), lines.end(),
                                  "(CFC ) GetTargetSerialMode: got unknown protocol response ->");
    ASSERT_GE(std::distance(header, lines.end()), 2);
    EXPECT_EQ(header[1].rfind("(CFC )   00:    0x41 0x54 0x0d ", 0), 0u) << header[1];
}

TEST_F(SerialModeTest, NakOrAckAnswerIsEmmiAndTheRestIsKept)
{
    attachByHand();
    const struct {
        Bytes answer;
        const char* line;
        std::string rest;
    } cases[] = {
        {{0x06}, "(CFC ) GetTargetSerialMode: ACK or STX received, target serial in EMMI mode", ""},
        {{0x15, 'o', 'k'},
         "(CFC ) GetTargetSerialMode: NAK received, target serial in EMMI mode",
         "ok"},
    };
    for (const auto& c : cases) {
        std::thread moduleSide([&] {
            EXPECT_EQ(link().moduleReads(kEmmiProbe.size()), kEmmiProbe);
            link().moduleSends(c.answer);
        });
        EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 1), kTargetSerialModeEMMI);
        moduleSide.join();
        EXPECT_EQ(traced(c.line), 1);
        EXPECT_EQ(skipBuffer(), c.rest);
    }
}

TEST_F(SerialModeTest, SilentLineIsOffProbingAtFirstAndUnknownProbingEmmiFirst)
{
    attach(sim::Mode::Off);
    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 0), kTargetSerialModeOff);
    EXPECT_EQ(traced("(CFC ) GetTargetSerialMode: no response for AT  test string"), 1);
    EXPECT_EQ(traced("(CFC ) GetTargetSerialMode: no response for EMMI test string"), 1);

    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 1), kTargetSerialModeUnknown);
    EXPECT_TRUE(tracedInOrder({"(CFC ) GetTargetSerialMode: got unknown protocol response ->",
                               dumpLine(0, Bytes(8, 0xA5)), dumpLine(8, Bytes(8, 0xA5))}));
}

TEST_F(SerialModeTest, RefusedWriteEndsTheProbeWithoutRetry)
{
    attach(sim::Mode::Off);
    link().device().hangUp();
    EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 0), kTargetSerialModeUnknown);
    EXPECT_EQ(traced("(CFC ) GetTargetSerialMode: could not send (9)"), 1);

    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 1), 0);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode fails: could not start module"), 1);
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1"),
              0);
}

} // namespace
} // namespace cfctest
