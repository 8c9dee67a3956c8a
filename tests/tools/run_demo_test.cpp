// Runs scripts/run-demo.sh with the real simulator and a stand-in for vornax
// that talks AT to the terminal it is given: the script must hand over the
// terminal, keep the stand-in's exit code and end the simulator.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace simtest {
namespace {

namespace fs = std::filesystem;

// Answers like vornax when the terminal in CFC_COM3 echoes "at\r".
constexpr const char* kStandIn = R"(#!/usr/bin/env bash
[ "$1" = com3 ] || exit 3
exec 3<>"$CFC_COM3" || exit 4
printf 'at\r' >&3
IFS= read -r -t 10 -d $'\n' reply <&3 || exit 5
[ "$reply" = $'at\r\r' ] || exit 6
echo "AutoExec successfully switched off"
exit "${STAND_IN_EXIT:-0}"
)";

struct DemoRun {
    int status = -1;
    std::string output;
    std::string errors;
};

class RunDemoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cfcsim-demo-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::ofstream(dir_ / "vornax") << kStandIn;
        fs::permissions(dir_ / "vornax", fs::perms::owner_all);
    }

    void TearDown() override { fs::remove_all(dir_); }

    DemoRun run(const std::string& environment, const std::string& simulatorOptions)
    {
        const std::string command = environment + " '" RUN_DEMO_PATH "' '" CFCSIM_PATH "' '" +
                                    (dir_ / "vornax").string() + "' " + simulatorOptions + " >'" +
                                    (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() +
                                    "' </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read("out"), read("err")};
    }

    std::string read(const char* name) const
    {
        std::ostringstream text;
        text << std::ifstream(dir_ / name).rdbuf();
        return text.str();
    }

    fs::path dir_;
};

// The simulator's process id as the script reports it; 0 when not found.
pid_t simulatorPid(const std::string& errors)
{
    int pid = 0;
    const size_t at = errors.find("(pid ");
    if (at != std::string::npos)
        std::sscanf(errors.c_str() + at, "(pid %d)", &pid);
    return pid;
}

bool ended(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

TEST_F(RunDemoTest, RunsTheProgramAgainstTheSimulatorAndEndsIt)
{
    const DemoRun result = run("", "");
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.output, "AutoExec successfully switched off\n");
    EXPECT_TRUE(ended(simulatorPid(result.errors))) << result.errors;
}

TEST_F(RunDemoTest, KeepsTheProgramsExitCode)
{
    const DemoRun result = run("STAND_IN_EXIT=255", "--mode=at --verbose");
    EXPECT_EQ(result.status, 255) << result.errors;
    EXPECT_TRUE(ended(simulatorPid(result.errors))) << result.errors;
}

TEST_F(RunDemoTest, FailsWithoutRunningTheProgramWhenTheSimulatorDoesNotStart)
{
    const DemoRun result = run("", "--mode=sideways");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_NE(result.errors.find("did not name its terminal"), std::string::npos) << result.errors;
}

} // namespace
} // namespace simtest
