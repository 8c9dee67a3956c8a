// The main job end to end: the real vornax switches the AutoExec of a module
// simulated by the real cfcsim program off, or reports the step that failed.
#include "module_run.h"

#include <gtest/gtest.h>

using namespace consoletest;

namespace {

const std::string usage = "usage: vornax <options> <com-port>\n"
                          "       <options>:  -h or -? for help\n"
                          "                   -ver for version\n"
                          "       <com-port>: com1 up to com99 for com port selection\n";

TEST_F(VornaxWithModule, ModuleInAtModeIsSwitchedAndTheSuccessLineComesLast)
{
    const Outcome outcome = run({"--mode=at"}, {"-ver", "-h", "com3"});
    EXPECT_EQ(outcome.output, "vornax Version 1.0.2\n" + usage + kSuccess);
    EXPECT_EQ(outcome.status, 0);
}

// The lines of a successful run, a selection from each layer and step.
TEST_F(VornaxWithModule, TraceOfASuccessfulRunHoldsItsStepsInOrder)
{
    const Outcome outcome = run({"--mode=at"}, {"com3"});
    ASSERT_EQ(outcome.output, kSuccess);
    EXPECT_TRUE(inOrder(
        trace(),
        {R"((CFC ) WComOpen: portId \\.\COM3)",
         "(CFC ) WComOpen: O.K.",
         "(CFC ) WInitServiceMode()",
         "(CFC ) WInitServiceMode: switch serial to EMMI mode...",
         "(CFC ) GetTargetSerialMode: AT echo received, target serial in AT mode",
         "(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1",
         "(CFC ) SwitchSerialToEMMIMode: target serial successfully switched to EMMI mode",
         "(CFC ) SwitchSerialToEMMIMode: O.K.",
         "(CFC ) WInitServiceMode: switch target to service mode...",
         "(CFC ) SwitchTargetToOperationMode(operationMode=1)",
         "(CFC ) Get target version information at first...",
         "(CFC ) GetTargetVersion: SW project evaluated to 'ZEPHIN'",
         "(CFC ) SwitchTargetToOperationMode: current mode 0, call CFCRPCSetCurrentOperationMode(1)...",
         "(CFC ) SwitchTargetToOperationMode: target successfully set to mode 1",
         "(CFC ) WInitServiceMode: O.K.",
         "(CFC ) WSwitchJavaAutoStart(onOff=0",
         "(CFC ) WSwitchJavaAutoStart: O.K.",
         "(CFC ) WSwitchOff",
         "(CFC ) WSwitchOff: call CFCRPCSwitchOff...",
         "(CFC ) WSwitchOff: wait until target is switched off...",
         "(CFC ) WSwitchOff: O.K.",
         "(CFC ) WComClose()",
         "(CFC ) WComClose: O.K."}));
}

TEST_F(VornaxWithModule, ModuleAlreadyInEmmiModeGetsNoSwitchCommand)
{
    const Outcome outcome = run({"--mode=emmi"}, {"com3"});
    EXPECT_EQ(outcome.output, kSuccess);
    EXPECT_EQ(outcome.status, 0);
    const std::vector<std::string> lines = trace();
    EXPECT_TRUE(inOrder(lines, {"(CFC ) SwitchSerialToEMMIMode: target serial in EMMI mode, O.K.",
                                "(CFC ) WInitServiceMode: O.K."}));
    EXPECT_FALSE(inOrder(
        lines, {"(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1"}));
}

TEST_F(VornaxWithModule, ModuleInTestModeIsFinishedFirst)
{
    const Outcome outcome = run({"--mode=emmi", "--operation-mode=test"}, {"com3"});
    EXPECT_EQ(outcome.output, kSuccess);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(inOrder(
        trace(), {"(CFC ) SwitchTargetToOperationMode: target in test mode, finish test mode...",
                  "(CFC ) SwitchTargetToOperationMode: target successfully set to mode 1"}));
}

TEST_F(VornaxWithModule, RefusedAutostartSwitch)
{
    const Outcome outcome = run({"--mode=emmi", "--autostart-result=1"}, {"com3"});
    EXPECT_EQ(outcome.output, "Error: Cannot switchoff AutoExec\n");
    EXPECT_EQ(outcome.status, kFailureStatus);
    const std::vector<std::string> lines = trace();
    EXPECT_TRUE(
        inOrder(lines, {"(CFC ) WSwitchJavaAutoStart: CFCRPCSwitchJavaAutoStartfails with error 5",
                        "(CFC ) WComClose()"}));
    EXPECT_FALSE(inOrder(lines, {"(CFC ) WSwitchOff"})) << "no step after the failed one";
}

TEST_F(VornaxWithModule, SwitchCommandAnsweredWithError)
{
    const Outcome outcome = run({"--mode=at", "--at-answers=switch-error"}, {"com3"});
    EXPECT_EQ(outcome.output, "Error: Cannot connect to Module\n");
    EXPECT_EQ(outcome.status, kFailureStatus);
    EXPECT_TRUE(
        inOrder(trace(), {"(CFC ) SwitchSerialToEMMIMode fails: at^sqwe=1 not correctly answered",
                          "(CFC ) WInitServiceMode: SwitchSerialToEmmiMode fails"}));
}

TEST_F(VornaxWithModule, FirmwareThatConfirmsOnlyTheRepeatedAutostartRequest)
{
    const Outcome outcome = run(
        {"--mode=emmi", "--version-text=MARLO_B1_207:cfcsim&Bln-Bootloader V01.03&RPC 0001.0000",
         "--autostart-confirm=after-fallback"},
        {"com3"});
    EXPECT_EQ(outcome.output, kSuccess);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(
        inOrder(trace(), {"(CFC ) GetTargetVersion: SW version number evaluated to 207",
                          "(RPC ) CFCRPCSwitchJavaAutoStart: no answer (may be bus is closed)",
                          "(CFC ) WSwitchJavaAutoStart: O.K."}));
}

} // namespace
