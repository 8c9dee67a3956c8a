#include "plat/clock.h"
#include "plat/event.h"
#include "plat/thread.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Whether a wait of the system on the event's handle would return at once.
bool handleReadable(const plat::Event& event)
{
#ifdef _WIN32
    return ::WaitForSingleObject(::LongToHandle(event.nativeHandle()), 0) == WAIT_OBJECT_0;
#else
    pollfd fd{event.nativeHandle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
#endif
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

TEST(Event, PollHandleComesAndGoesWithoutLosingTheState)
{
    plat::Event event("readCancelEvent3", false);
    EXPECT_EQ(event.nativeHandle(), -1);
    // Waiters do not need the handle.
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.set();
    });
    EXPECT_TRUE(event.wait(10000));
    setter.join();

    // A handle attached to a set event is ready at once; a second attach
    // keeps the handle there is.
    int error = 0;
    ASSERT_TRUE(event.attachPollHandle(&error)) << error;
    const int handle = event.nativeHandle();
    ASSERT_GE(handle, 0);
    EXPECT_TRUE(handleReadable(event));
    ASSERT_TRUE(event.attachPollHandle(&error));
    EXPECT_EQ(event.nativeHandle(), handle);
    event.reset();
    EXPECT_FALSE(handleReadable(event));

    event.detachPollHandle();
    EXPECT_EQ(event.nativeHandle(), -1);
    event.set();
    EXPECT_TRUE(event.isSet());
    EXPECT_TRUE(event.wait(0));
}

#ifndef _WIN32
TEST(Event, AttachFailsWithTheSystemsReason)
{
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    plat::Event event("readCancelEvent4", false);
    const int base = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(base, 0);
    std::vector<int> filler{base};
    // Use up the descriptors a tight limit allows, so the system has none left.
    rlimit tight = old;
    tight.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    for (int fd = ::dup(base); fd >= 0; fd = ::dup(base))
        filler.push_back(fd);
    int error = 0;
    const bool attached = event.attachPollHandle(&error);
    for (const int fd : filler)
        ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
    EXPECT_FALSE(attached);
    EXPECT_EQ(error, EMFILE);
    EXPECT_EQ(event.nativeHandle(), -1);
}
#endif

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
