// vornax against the real cfcsim program when something outside the job
// gets in its way: a stop signal in the middle of the job, and settings
// files that are FIFOs.
#include "child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::Clock;
using testsupport::Outcome;
using testsupport::runProgram;

constexpr int kFailureStatus = 255;
constexpr int kTermStatus = 128 + SIGTERM;
// Far beyond a run against the simulator, even on a loaded machine; the
// runs that hung waited on a FIFO for ever.
constexpr auto kRunBound = 60s;

class VornaxInTheWay : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vornax-stop-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "config" / "cfc");
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // The simulator's terminal, empty when it did not start.
    std::string startModule(const std::vector<std::string>& options)
    {
        module_ = std::make_unique<ChildProcess>(CFCSIM_PATH, options);
        return module_->started() ? module_->readLine(10s) : std::string();
    }

    std::vector<std::string> environment(const std::string& com3,
                                         bool traceIniVariable = true) const
    {
        std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "CFC_TRACE=1",
        };
        if (!com3.empty())
            env.push_back("CFC_COM3=" + com3);
        if (traceIniVariable)
            env.push_back("CFC_TRACE_INI=" + (dir_ / "cfctrace.ini").string());
        return env;
    }

    // vornax with its standard error going to `errTo` (a file or a
    // terminal), through a shell that execs it: the signals reach vornax.
    std::unique_ptr<ChildProcess> startVornax(const std::string& terminal, const std::string& errTo)
    {
        return std::make_unique<ChildProcess>(
            "/bin/sh",
            std::vector<std::string>{"-c", "exec \"$0\" com3 2>\"$1\"", VORNAX_PATH, errTo},
            environment(terminal), dir_);
    }

    // Waits until vornax is in its switch-off step, which a module that
    // never falls silent keeps it in for minutes.
    bool reachSwitchOff()
    {
        const auto deadline = Clock::now() + kRunBound;
        while (trace().find("(CFC ) WSwitchOff: call CFCRPCSwitchOff...") == std::string::npos &&
               Clock::now() < deadline)
            std::this_thread::sleep_for(50ms);
        return Clock::now() < deadline;
    }

    std::string readFile(const fs::path& path) const
    {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string trace() const
    {
        std::ifstream in(dir_ / "tracefiles" / "tracefile.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
    std::unique_ptr<ChildProcess> module_;
};

TEST_F(VornaxInTheWay, StopSignalEndsTheJobLikeAFailedStep)
{
    // A module that never falls silent keeps vornax in its switch-off step
    // for minutes.
    const std::string terminal = startModule({"--mode=emmi", "--never-silent"});
    ASSERT_FALSE(terminal.empty());
    // Another holder of the tty, which keeps its exclusive mode alive past
    // vornax's end unless vornax clears it.
    const int held = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);

    ChildProcess vornax(VORNAX_PATH, {"com3"}, environment(terminal), dir_);
    ASSERT_TRUE(vornax.started());
    const auto deadline = Clock::now() + kRunBound;
    while (trace().find("(CFC ) WSwitchOff: call CFCRPCSwitchOff...") == std::string::npos &&
           Clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_LT(Clock::now(), deadline) << "vornax never reached the switch-off step";

    const auto stopped = Clock::now();
    vornax.signal(SIGTERM);
    EXPECT_EQ(vornax.readAll(30s), "Error: Cannot close Module connection\n");
    EXPECT_EQ(vornax.wait(30s), kTermStatus);
    EXPECT_LT(Clock::now() - stopped, 30s) << "the step ran on to its end";

    int exclusive = -1;
    ASSERT_EQ(::ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the tty is left in exclusive mode";
    // The next run's own lock is free too.
    const int next = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(next, 0);
    EXPECT_EQ(::flock(next, LOCK_EX | LOCK_NB), 0);
    ::close(next);
    ::close(held);
}

// A script tells an interrupt from a module's failure by the exit code, and
// the person at the terminal by the line on standard error.
TEST_F(VornaxInTheWay, EveryStopSignalSaysSoWithTheShellsExitCode)
{
    for (const int number : {SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(::strsignal(number));
        const std::string terminal = startModule({"--mode=emmi", "--never-silent"});
        ASSERT_FALSE(terminal.empty());
        const fs::path err = dir_ / "stderr.txt";
        const auto vornax = startVornax(terminal, err.string());
        ASSERT_TRUE(vornax->started());
        ASSERT_TRUE(reachSwitchOff()) << "vornax never reached the switch-off step";

        vornax->signal(number);
        EXPECT_EQ(vornax->readAll(30s), "Error: Cannot close Module connection\n");
        EXPECT_EQ(vornax->wait(30s), 128 + number);
        // Only the interrupt: no module blamed, no advice, and no progress
        // line in a file.
        EXPECT_EQ(readFile(err), "vornax: interrupted during the switch-off\n");
        fs::remove(dir_ / "tracefiles" / "tracefile.txt");
    }
}

// On a terminal, the long wait for a module that does not fall silent is
// one line written over in place, cleared when the job is ended.
TEST_F(VornaxInTheWay, LongWaitShowsItsProgressOnATerminalOnly)
{
    const std::string terminal = startModule({"--mode=emmi", "--never-silent"});
    ASSERT_FALSE(terminal.empty());
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string errTerminal = ::ptsname(master);

    const auto vornax = startVornax(terminal, errTerminal);
    ASSERT_TRUE(vornax->started());
    std::string seen;
    // Reads until `until` turns up at `from` or later.
    const auto readTerminal = [&](const std::string& until, Clock::duration bound,
                                  std::size_t from = 0) {
        const auto deadline = Clock::now() + bound;
        while (seen.find(until, from) == std::string::npos && Clock::now() < deadline) {
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[512];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got > 0)
                seen.append(buffer, static_cast<std::size_t>(got));
        }
        return seen.find(until, from) != std::string::npos;
    };
    const std::string progress =
        "\rvornax: waiting for the module to switch off, request 1 of 5, probe ";
    EXPECT_TRUE(readTerminal(progress, kRunBound)) << seen;
    // Written over in place as the probes go on.
    const std::size_t first = seen.find(progress);
    EXPECT_TRUE(readTerminal(progress, 10s, first + 1)) << seen;
    EXPECT_EQ(seen.find('\n'), std::string::npos) << "the progress took a line of its own";

    vornax->signal(SIGINT);
    EXPECT_EQ(vornax->readAll(30s), "Error: Cannot close Module connection\n");
    EXPECT_EQ(vornax->wait(30s), 128 + SIGINT);
    // The progress line is blanked before the last words.
    EXPECT_TRUE(readTerminal("vornax: interrupted during the switch-off", 10s)) << seen;
    const std::size_t last = seen.rfind(progress);
    const std::size_t interrupted = seen.find("vornax: interrupted");
    const std::string between = seen.substr(last + 1, interrupted - last - 1);
    EXPECT_NE(between.find("\r"), std::string::npos) << between;
    EXPECT_NE(between.find("      \r"), std::string::npos) << "not blanked: " << between;
    ::close(master);
}

TEST_F(VornaxInTheWay, FifosInPlaceOfSettingsFilesAreNotWaitedOn)
{
    ASSERT_EQ(::mkfifo((dir_ / "cfctrace.ini").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "config" / "cfc" / "cfctrace.ini").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "config" / "cfc" / "ports.ini").c_str(), 0600), 0);

    // The file CFC_TRACE_INI names, then the default one.
    for (const bool variable : {true, false}) {
        SCOPED_TRACE(variable ? "CFC_TRACE_INI" : "default cfctrace.ini");
        // A module of its own each time: the first run switches it off.
        const std::string terminal = startModule({"--mode=at"});
        ASSERT_FALSE(terminal.empty());
        const Outcome outcome =
            runProgram(VORNAX_PATH, {"com3"}, environment(terminal, variable), dir_, kRunBound);
        EXPECT_EQ(outcome.output, "AutoExec successfully switched off\n");
        EXPECT_EQ(outcome.status, 0);
    }
    // ports.ini is read for a port no variable maps; COM97 has no default.
    const Outcome outcome = runProgram(VORNAX_PATH, {"com97"}, environment(""), dir_, kRunBound);
    EXPECT_EQ(outcome.output, "Error: Cannot connect to Module\n");
    EXPECT_EQ(outcome.status, kFailureStatus);
}

} // namespace
