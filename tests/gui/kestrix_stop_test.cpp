// The real kestrix, offscreen, stopped by a signal: in the middle of a
// switch-off (driven through its window by the preloaded driver) and with
// nothing running.
#include "child_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace kestrixtest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::Clock;

constexpr auto kBound = 60s;

class KestrixStopped : public ::testing::Test {
protected:
    std::vector<std::string> environment(const std::string& com3, const std::string& drive) const
    {
        std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "XDG_RUNTIME_DIR=" + dir_.string(),
            "CFC_TRACE_INI=" + (dir_ / "cfctrace.ini").string(),
            "CFC_TRACE=1",
            "QT_QPA_PLATFORM=offscreen",
        };
        for (int port = 1; port <= 99; ++port)
            env.push_back("CFC_COM" + std::to_string(port) + "=" +
                          (port == 3 && !com3.empty() ? com3 : (dir_ / "no-such-port").string()));
        if (!drive.empty()) {
            env.push_back("LD_PRELOAD=" + std::string(DRIVER_PATH));
            env.push_back("KESTRIX_DRIVE=" + drive);
        }
        return env;
    }

    bool traceHas(const std::string& text) const
    {
        std::ifstream in(dir_ / "tracefiles" / "tracefile.txt");
        std::ostringstream all;
        all << in.rdbuf();
        return all.str().find(text) != std::string::npos;
    }

    // A module that keeps kestrix in its switch-off for minutes, and another
    // holder of its tty, which keeps the tty's exclusive mode alive past
    // kestrix's end unless kestrix clears it. The tty's path; empty when the
    // module did not start.
    std::string startNeverSilentModule()
    {
        module_ = std::make_unique<ChildProcess>(
            CFCSIM_PATH, std::vector<std::string>{"--mode=emmi", "--never-silent"});
        const std::string terminal = module_->started() ? module_->readLine(10s) : std::string();
        if (!terminal.empty())
            held_ = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return held_ >= 0 ? terminal : std::string();
    }

    bool leftExclusive() const
    {
        int exclusive = -1;
        return ::ioctl(held_, TIOCGEXCL, &exclusive) != 0 || exclusive != 0;
    }

    void TearDown() override
    {
        if (held_ >= 0)
            ::close(held_);
    }

    std::unique_ptr<ChildProcess> module_;
    int held_ = -1;
    TempDir temp_{"kestrix-stop"};
    const fs::path& dir_ = temp_.path();
};

TEST_F(KestrixStopped, SignalDuringTheSwitchOffEndsItLikeAFailureWithoutAMessageBox)
{
    const std::string terminal = startNeverSilentModule();
    ASSERT_FALSE(terminal.empty());

    ChildProcess kestrix(KESTRIX_PATH, {}, environment(terminal, "switch-off:COM3"), dir_);
    ASSERT_TRUE(kestrix.started());
    const auto deadline = Clock::now() + kBound;
    while (!traceHas("(CFC ) WSwitchOff: call CFCRPCSwitchOff...") && Clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    ASSERT_LT(Clock::now(), deadline) << "the switch-off never reached its last step";

    kestrix.signal(SIGINT);
    const std::string output = kestrix.readAll(30s);
    EXPECT_EQ(kestrix.wait(30s), 128 + SIGINT) << output;
    EXPECT_EQ(output.find("message box"), std::string::npos) << output;
    EXPECT_FALSE(leftExclusive()) << "the tty is left in exclusive mode";
}

// The window's Close during a switch-off that would take minutes: the run
// ends within a few seconds and the program quits without a box to click,
// having shown what it was waiting for.
TEST_F(KestrixStopped, CloseDuringALongWaitQuitsWithinSecondsWithoutAClick)
{
    const std::string terminal = startNeverSilentModule();
    ASSERT_FALSE(terminal.empty());

    ChildProcess kestrix(KESTRIX_PATH, {}, environment(terminal, "close-while-running:COM3"), dir_);
    ASSERT_TRUE(kestrix.started());
    std::string line;
    const auto deadline = Clock::now() + kBound;
    while (line.rfind("driver: progress: ", 0) != 0 && Clock::now() < deadline)
        line = kestrix.readLine(kBound);
    EXPECT_EQ(
        line.rfind("driver: progress: waiting for the module to switch off, request 1 of 5", 0), 0u)
        << line;
    const auto closed = Clock::now();
    const std::string rest = kestrix.readAll(30s);
    EXPECT_EQ(kestrix.wait(30s), 0) << rest;
    EXPECT_LT(Clock::now() - closed, 10s) << "the switch-off ran on";
    EXPECT_EQ(rest.find("message box"), std::string::npos) << rest;
    EXPECT_FALSE(leftExclusive()) << "the tty is left in exclusive mode";
}

// Whether a child of ours named kestrix has its main thread blocking
// SIGTERM, which it does from the first line of main on: a signal sent
// before would end it the default way.
bool kestrixTakesSignals()
{
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream status(entry.path() / "status");
        std::string line, name;
        long parent = -1;
        unsigned long long blocked = 0;
        while (std::getline(status, line)) {
            if (line.rfind("Name:", 0) == 0)
                name = line.substr(line.find_first_not_of(" \t", 5));
            else if (line.rfind("PPid:", 0) == 0)
                parent = std::stol(line.substr(5));
            else if (line.rfind("SigBlk:", 0) == 0)
                blocked = std::stoull(line.substr(7), nullptr, 16);
        }
        if (name == "kestrix" && parent == ::getpid() && (blocked & (1ull << (SIGTERM - 1))))
            return true;
    }
    return false;
}

TEST_F(KestrixStopped, SignalWithNothingRunningQuits)
{
    ChildProcess kestrix(KESTRIX_PATH, {}, environment("", ""), dir_);
    ASSERT_TRUE(kestrix.started());
    const auto deadline = Clock::now() + kBound;
    while (!kestrixTakesSignals() && Clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_LT(Clock::now(), deadline) << "kestrix never came to its main";
    kestrix.signal(SIGTERM);
    EXPECT_EQ(kestrix.wait(30s), 0);
}

// Asked for its usage or version where there is no display at all, kestrix
// answers on standard output instead of aborting in the toolkit.
TEST_F(KestrixStopped, HelpAndVersionNeedNoDisplay)
{
    const std::vector<std::string> noDisplay = {"HOME=" + dir_.string(),
                                                "XDG_RUNTIME_DIR=" + dir_.string()};
    const auto help = testsupport::runProgram(KESTRIX_PATH, {"--help"}, noDisplay, dir_, kBound);
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_EQ(help.output.rfind("usage: kestrix", 0), 0u) << help.output;
    const auto version =
        testsupport::runProgram(KESTRIX_PATH, {"--version"}, noDisplay, dir_, kBound);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "kestrix Version 1.0.2\n");
}

} // namespace
} // namespace kestrixtest
