#include "stop_signals.h"

#include "messages.h"

#include "plat/serial.h"
#include "plat/stop_signals.h"
#include "plat/thread.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace kestrix {

namespace {

// Time for the switch-off to fail and close the port on its own path. Some
// of the library's loops go on probing a failed port with fixed waits for
// many seconds; the port is already released by then, so the rest is cut
// short.
constexpr auto kGrace = std::chrono::seconds(3);

// A window closed during a switch-off quits as a closed window does.
constexpr int kClosedExit = 0;

// The calls the window makes, watched: which step runs, and whether a stop
// was asked for, which fails the step that was running.
class StoppableLibrary final : public ModuleLibrary {
public:
    StoppableLibrary(ModuleLibrary& library, std::function<void()> quitWhenIdle)
        : library_(library), quitWhenIdle_(std::move(quitWhenIdle))
    {
    }

    std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                          std::uint32_t traceHandle) override
    {
        enter(messages::cannotConnect, true);
        return library_.comOpen(portNum, baudRate, traceHandle);
    }
    std::int32_t initServiceMode(std::uint32_t handle) override
    {
        enter(messages::cannotConnect, true);
        return unlessStopped(library_.initServiceMode(handle));
    }
    std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) override
    {
        enter(messages::cannotSwitchOff, true);
        return unlessStopped(library_.switchJavaAutoStart(handle, on));
    }
    std::int32_t switchOff(std::uint32_t handle) override
    {
        enter(messages::cannotClose, true);
        return unlessStopped(library_.switchOff(handle));
    }
    std::int32_t comClose(std::uint32_t handle) override
    {
        const std::int32_t closed = library_.comClose(handle);
        std::unique_lock lock(mutex_);
        if (stopped_)
            endStopped(lock);
        running_ = false;
        ended_.notify_all();
        return closed;
    }
    std::string failureReason(FailedStep step, std::int32_t port, std::uint32_t handle) override
    {
        return library_.failureReason(step, port, handle);
    }
    void watchWaits(std::function<void(const std::string&)> observer) override
    {
        library_.watchWaits(std::move(observer));
    }

    // The window is closing: the switch-off's port is released and its
    // steps fail, so it ends on its own path and the window closes after
    // it. Should a fixed wait of the library hold it longer than the grace
    // time, the program ends without it; the port is released already.
    void abandonRun() override
    {
        {
            std::lock_guard lock(mutex_);
            if (closing_)
                return;
            closing_ = true;
        }
        library_.abandonRun();
        // Without the timer the switch-off still ends on its own path, only
        // unbounded.
        closeTimer_.start(
            [this] {
                std::unique_lock lock(mutex_);
                if (!ended_.wait_for(lock, kGrace, [this] { return !running_; }))
                    ::_exit(kClosedExit);
            },
            nullptr);
    }

    // False when the watcher cannot start; the signals then end the program
    // as they would without it.
    bool watchSignals()
    {
        return watcher_.start([this] { watch(); }, nullptr);
    }

private:
    [[noreturn]] void watch()
    {
        const int exitCode = plat::waitForStopSignal();
        std::unique_lock lock(mutex_);
        stopped_ = true;
        exitCode_ = exitCode;
        // Not the library's close from here: the switch-off's thread is
        // inside the library with the port in use. Failing the port makes
        // the switch-off end on its own path.
        plat::abandonDevicePorts();
        if (!running_) {
            lock.unlock();
            quitWhenIdle_();
            plat::waitForStopSignal();
            lock.lock();
            if (!running_)
                ::_exit(0);
        }
        lock.unlock();
        plat::waitForStopSignal(kGrace);
        lock.lock();
        endStopped(lock);
    }

    void enter(const Message& failure, bool running)
    {
        std::lock_guard lock(mutex_);
        step_ = failure;
        running_ = running;
    }

    std::int32_t unlessStopped(std::int32_t result)
    {
        std::lock_guard lock(mutex_);
        return stopped_ || closing_ ? 0 : result;
    }

    // Whichever of the switch-off and the watcher comes here first ends the
    // process; the lock keeps the other out until it has.
    [[noreturn]] void endStopped(std::unique_lock<std::mutex>&)
    {
        std::fprintf(stderr, "Error: %s\n", step_.text);
        std::fflush(stderr);
        ::_exit(exitCode_);
    }

    ModuleLibrary& library_;
    std::function<void()> quitWhenIdle_;
    std::mutex mutex_;
    Message step_ = messages::cannotConnect;
    bool running_ = false;
    bool stopped_ = false;
    bool closing_ = false;
    int exitCode_ = 0; // set with stopped_
    std::condition_variable ended_;
    // Members, not detached threads: the object outlives them, as it is
    // never destroyed.
    plat::Thread watcher_;
    plat::Thread closeTimer_;
};

} // namespace

void blockStopSignals()
{
    plat::blockStopSignals();
}

ModuleLibrary& stopOnSignal(ModuleLibrary& library, std::function<void()> quitWhenIdle)
{
    // Never destroyed: the watcher may still wait on it while the program
    // ends.
    static auto* watched = new StoppableLibrary(library, std::move(quitWhenIdle));
    if (!watched->watchSignals())
        plat::unblockStopSignals();
    return *watched;
}

} // namespace kestrix
