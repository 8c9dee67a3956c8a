// Runs the real cfcsim program: its first output line names the terminal, a
// host on that terminal is answered, and it ends when told to.
#include "child_process.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

namespace simtest {
namespace {

using testsupport::ChildProcess;

// Far beyond a start or an end of the program, even on a loaded machine.
constexpr auto kBound = std::chrono::seconds(10);

TEST(CfcsimProgram, ServesATerminalUntilItsInputEnds)
{
    ChildProcess program(CFCSIM_PATH, {"--mode=emmi"});
    ASSERT_TRUE(program.started());
    const std::string path = program.readLine(kBound);
    ASSERT_FALSE(path.empty());
    {
        HostEnd host(path);
        ASSERT_TRUE(host.isOpen());
        host.send(frameOf({0x01, 0x02}));
        EXPECT_EQ(host.receiveByte(), 0x06);
    }
    program.closeInput();
    EXPECT_EQ(program.wait(kBound), 0);
}

TEST(CfcsimProgram, EndsAtSigtermAndStaysSilentWhenOff)
{
    ChildProcess program(CFCSIM_PATH, {"--mode=off"});
    ASSERT_TRUE(program.started());
    const std::string path = program.readLine(kBound);
    ASSERT_FALSE(path.empty());
    {
        HostEnd host(path);
        ASSERT_TRUE(host.isOpen());
        host.send(frameOf({0x01}));
        EXPECT_EQ(host.receiveByte(300), std::nullopt);
    }
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(kBound), 0);
}

TEST(CfcsimProgram, StartsInAtModeAndSwitchesToEmmi)
{
    ChildProcess program(CFCSIM_PATH, {});
    ASSERT_TRUE(program.started());
    const std::string path = program.readLine(kBound);
    ASSERT_FALSE(path.empty());
    HostEnd host(path);
    ASSERT_TRUE(host.isOpen());

    host.send(bytesOf("at^sqwe=1\r"));
    EXPECT_EQ(host.receive(16), bytesOf("at^sqwe=1\r\r\nOK\r\n"));
    host.send(kEmmiProbe);
    EXPECT_EQ(host.receiveByte(), kNak);
}

TEST(CfcsimProgram, RefusesUnknownOptionsAndValues)
{
    for (const char* argument : {"--corrupt-bcc=some", "--mode=on", "--boot-version=1",
                                 "--autostart-result=256", "--never-silent=yes", "--mode"}) {
        ChildProcess program(CFCSIM_PATH, {argument});
        ASSERT_TRUE(program.started());
        EXPECT_EQ(program.wait(kBound), 2) << argument;
    }
}

} // namespace
} // namespace simtest
