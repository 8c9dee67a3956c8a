#include "plat/clock.h"
#include "plat/event.h"
#include "plat/thread.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool handleReadable(const plat::Event& event)
{
    pollfd fd{event.nativeHandle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

TEST(Event, StaysSetUntilResetAndHandleMirrorsIt)
{
    plat::Event event("rxFrameEvent1");
    EXPECT_EQ(event.name(), "rxFrameEvent1");
    ASSERT_GE(event.nativeHandle(), 0);
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(handleReadable(event));

    event.set();
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0)) << "a wait must not consume a manual-reset event";
    EXPECT_TRUE(handleReadable(event));

    // One reset clears however many sets came before it.
    event.reset();
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(handleReadable(event));
    event.reset();
    EXPECT_FALSE(handleReadable(event));
}

TEST(Event, TimedWaitRunsItsCourse)
{
    plat::Event event;
    const auto start = Clock::now();
    EXPECT_FALSE(event.wait(30));
    EXPECT_GE(Clock::now() - start, 30ms);
}

TEST(Event, SetWakesEveryWaiterAtOnce)
{
    plat::Event event;
    std::atomic<int> woken{0};
    std::thread a([&] { woken += event.wait(10000) ? 1 : 0; });
    std::thread b([&] { woken += event.wait(plat::kWaitForever) ? 1 : 0; });
    std::this_thread::sleep_for(20ms);
    const auto start = Clock::now();
    event.set();
    a.join();
    b.join();
    EXPECT_EQ(woken, 2);
    EXPECT_LT(Clock::now() - start, 5s);
}

TEST(Thread, PublishesItsSystemIdBeforeStartReturns)
{
    plat::Thread thread;
    std::atomic<uint32_t> seenInside{0};
    int error = 0;
    ASSERT_TRUE(thread.start([&] { seenInside = plat::currentThreadId(); }, &error));
    const uint32_t published = thread.id();
    EXPECT_NE(published, 0u);
    EXPECT_NE(published, plat::currentThreadId());
    thread.join();
    EXPECT_EQ(seenInside, published);
    EXPECT_FALSE(thread.running());

    plat::Thread empty;
    EXPECT_FALSE(empty.start({}, &error));
    EXPECT_EQ(error, EINVAL);
}

TEST(Clock, CounterAdvancesWithSleep)
{
    ASSERT_GT(plat::counterFrequency(), 0u);
    const uint64_t before = plat::counter();
    plat::sleepMs(20);
    const uint64_t elapsed = plat::counter() - before;
    EXPECT_GE(elapsed, plat::counterFrequency() / 50);

    plat::setLastSystemError(EBADF);
    EXPECT_EQ(plat::lastSystemError(), EBADF);
}

} // namespace
