// Stand-ins for the presenter's two neighbours: a library that records its
// calls and fails where told (and can be held half way, as a module that
// takes its time), and a view that records what it was asked to show.
#pragma once

#include "disable_tool_view.h"
#include "module_library.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestrixtest {

// Far beyond anything the stand-ins take, even on a loaded machine.
inline constexpr auto patience = std::chrono::seconds(20);

class FakeLibrary final : public kestrix::ModuleLibrary {
public:
    enum class FailAt { Nothing, ServiceMode, AutoStart, SwitchOff };
    static constexpr std::uint32_t handle = 0xCFC01CFC;

    void failAt(FailAt step) { failAt_ = step; }

    // The next sequence stops inside its service-mode call until release().
    void hold();
    void release();
    // Waits until a held sequence has reached its service-mode call.
    bool waitUntilHeld();

    // The calls so far, e.g. "open 3 115200 0", "init", "java 0", "off", "close".
    std::vector<std::string> calls() const;

    std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                          std::uint32_t traceHandle) override;
    std::int32_t initServiceMode(std::uint32_t handle) override;
    std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) override;
    std::int32_t switchOff(std::uint32_t handle) override;
    std::int32_t comClose(std::uint32_t handle) override;
    // "reason for <step> on COM<port>"; the calls record "reason <step>".
    std::string failureReason(kestrix::FailedStep step, std::int32_t port,
                              std::uint32_t handle) override;
    // Recorded as "abandon"; a held step is let go and fails, as one on a
    // released port does.
    void abandonRun() override;
    void watchWaits(std::function<void(const std::string&)> observer) override;
    // Reports a wait as the library's hook would, from the calling thread.
    void reportWait(const std::string& text);

private:
    void record(std::string call);
    std::function<void(const std::string&)> observer_;
    bool abandoned_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    FailAt failAt_ = FailAt::Nothing;
    bool holding_ = false;
    bool held_ = false;
};

class FakeView final : public kestrix::DisableToolView {
public:
    std::vector<std::string> portItems;
    std::string text;
    std::vector<std::string> shown;   // "caption: text" of each message box
    std::vector<std::string> details; // the detail of each, "" for none
    std::vector<kestrix::MessageIcon> icons;
    std::vector<std::string> progress; // each text shown while running
    int portRefreshes = 0;
    int aboutShown = 0;
    int closed = 0;
    std::vector<bool> busyChanges;
    // Called inside showMessage, as if the box were still open.
    std::function<void()> whileMessageShown;

    // Runs the next job posted to the window's thread (this test thread),
    // waiting for it within the patience bound; false when none came.
    bool runPosted();

    void setPortItems(const std::vector<std::string>& names) override { portItems = names; }
    std::string portText() const override { return text; }
    void showMessage(const kestrix::Message& message) override;
    void showOutcome(const kestrix::Message& message, const std::string& detail) override;
    void refreshPortItems(const std::vector<std::string>& names) override
    {
        ++portRefreshes;
        portItems = names;
    }
    void showProgress(const std::string& text) override { progress.push_back(text); }
    void showAbout() override { ++aboutShown; }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void closeWindow() override { ++closed; }
    void post(std::function<void()> job) override;

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> jobs_;
};

} // namespace kestrixtest
