#include "fakes.h"

#include <utility>

namespace kestrixtest {

void FakeLibrary::hold()
{
    std::lock_guard lock(mutex_);
    holding_ = true;
    held_ = false;
}

void FakeLibrary::release()
{
    {
        std::lock_guard lock(mutex_);
        holding_ = false;
    }
    changed_.notify_all();
}

bool FakeLibrary::waitUntilHeld()
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [this] { return held_; });
}

std::vector<std::string> FakeLibrary::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeLibrary::record(std::string call)
{
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::uint32_t FakeLibrary::comOpen(std::int32_t portNum, std::int32_t baudRate,
                                   std::uint32_t traceHandle)
{
    record("open " + std::to_string(portNum) + " " + std::to_string(baudRate) + " " +
           std::to_string(traceHandle));
    return handle;
}

std::int32_t FakeLibrary::initServiceMode(std::uint32_t h)
{
    record(h == handle ? "init" : "init with a wrong handle");
    std::unique_lock lock(mutex_);
    if (holding_) {
        held_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, patience, [this] { return !holding_; });
    }
    return failAt_ != FailAt::ServiceMode && !abandoned_;
}

std::int32_t FakeLibrary::switchJavaAutoStart(std::uint32_t h, std::uint8_t on)
{
    record((h == handle ? "java " : "java with a wrong handle ") + std::to_string(on));
    std::lock_guard lock(mutex_);
    return failAt_ != FailAt::AutoStart;
}

std::int32_t FakeLibrary::switchOff(std::uint32_t h)
{
    record(h == handle ? "off" : "off with a wrong handle");
    std::lock_guard lock(mutex_);
    return failAt_ != FailAt::SwitchOff;
}

std::int32_t FakeLibrary::comClose(std::uint32_t h)
{
    record(h == handle ? "close" : "close with a wrong handle");
    // The window must not care what closing returns.
    return 0;
}

std::string FakeLibrary::failureReason(kestrix::FailedStep step, std::int32_t port, std::uint32_t)
{
    const std::string name = step == kestrix::FailedStep::ServiceMode ? "service mode"
                             : step == kestrix::FailedStep::AutoStart ? "autostart"
                                                                      : "switch-off";
    record("reason " + name);
    return "reason for " + name + " on COM" + std::to_string(port);
}

void FakeLibrary::abandonRun()
{
    record("abandon");
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        holding_ = false;
    }
    changed_.notify_all();
}

void FakeLibrary::watchWaits(std::function<void(const std::string&)> observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void FakeLibrary::reportWait(const std::string& text)
{
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer)
        observer(text);
}

bool FakeView::runPosted()
{
    std::function<void()> job;
    {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, patience, [this] { return !jobs_.empty(); }))
            return false;
        job = std::move(jobs_.front());
        jobs_.pop_front();
    }
    job();
    return true;
}

void FakeView::showOutcome(const kestrix::Message& message, const std::string& detail)
{
    details.push_back(detail);
    icons.push_back(message.icon);
    showMessage(message);
}

void FakeView::showMessage(const kestrix::Message& message)
{
    shown.push_back(std::string(message.caption) + ": " + message.text);
    if (whileMessageShown)
        whileMessageShown();
}

void FakeView::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    posted_.notify_all();
}

} // namespace kestrixtest
