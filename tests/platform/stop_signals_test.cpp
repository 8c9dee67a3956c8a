#include "plat/stop_signals.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each test takes every signal it raises, so none is left pending to end the
// test program when the signals are let through again.
class StopSignals : public ::testing::Test {
protected:
    void SetUp() override { plat::blockStopSignals(); }
    void TearDown() override { plat::unblockStopSignals(); }
};

TEST_F(StopSignals, EachComesWithTheExitCodeShellsReportForIt)
{
    const struct {
        int number;
        int exitCode;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}, {SIGQUIT, 131}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        ASSERT_EQ(std::raise(c.number), 0);
        EXPECT_EQ(plat::waitForStopSignal(), c.exitCode);
        ASSERT_EQ(std::raise(c.number), 0);
        EXPECT_EQ(plat::waitForStopSignal(10s), c.exitCode) << "a pending one ends a bounded wait";
    }
}

void ignoreSignal(int) {}

// The grace a stopped program gives its job must not end early because some
// other signal's handler ran on the waiting thread.
TEST_F(StopSignals, BoundedWaitLastsItsBoundThroughOtherSignals)
{
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    constexpr auto kBound = 300ms;
    const pthread_t waiter = ::pthread_self();
    std::thread interrupter([waiter] {
        std::this_thread::sleep_for(50ms);
        ::pthread_kill(waiter, SIGUSR1);
    });
    const auto started = Clock::now();
    const auto got = plat::waitForStopSignal(kBound);
    const auto waited = Clock::now() - started;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_FALSE(got.has_value());
    EXPECT_GE(waited, kBound);
}

} // namespace
