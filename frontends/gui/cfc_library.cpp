#include "module_library.h"

#include "reasons.h"
#include "wait_progress.h"

#include "cfc.h"

#include "plat/portmap.h"
#include "plat/serial.h"

#include <cctype>
#include <mutex>

namespace kestrix {
namespace {

class CfcLibrary final : public ModuleLibrary {
public:
    // The GUI is the program that lets a module's signal trace come out
    // before switching it off.
    // It runs no test case either: the test system's libraries stay out.
    CfcLibrary()
    {
        WSetSwitchOffDrainWait(1);
        WSetTestSystemBinding(0);
    }

    std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                          std::uint32_t traceHandle) override
    {
        return WComOpen(portNum, baudRate, traceHandle);
    }
    std::int32_t initServiceMode(std::uint32_t handle) override { return WInitServiceMode(handle); }
    std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) override
    {
        return WSwitchJavaAutoStart(handle, on);
    }
    std::int32_t switchOff(std::uint32_t handle) override { return WSwitchOff(handle); }
    std::int32_t comClose(std::uint32_t handle) override { return WComClose(handle); }

    std::string failureReason(FailedStep step, std::int32_t port, std::uint32_t handle) override
    {
        const vornax::AdviceContext advice = vornax::adviceHere("kestrix");
        std::string text;
        if (handle == 0)
            text = vornax::openRefusalText(vornax::lastOpenRefusal(port), advice);
        else
            text = vornax::stepFailureText(stepOf(step), port, plat::comPortPath(port).value_or(""),
                                           handle, advice);
        // A sentence for the box, where the console has a line of its own.
        if (!text.empty())
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        return text + ".";
    }

    void abandonRun() override { plat::abandonDevicePorts(); }

    void watchWaits(std::function<void(const std::string&)> observer) override
    {
        const bool watching = observer != nullptr;
        {
            std::lock_guard lock(mutex_);
            observer_ = std::move(observer);
            shown_.clear();
            tracker_ = {};
        }
        WSetWaitHook(watching ? onWait : nullptr, this);
    }

private:
    static vornax::Step stepOf(FailedStep step)
    {
        switch (step) {
        case FailedStep::ServiceMode: break;
        case FailedStep::AutoStart: return vornax::Step::AutoStart;
        case FailedStep::SwitchOff: return vornax::Step::SwitchOff;
        }
        return vornax::Step::ServiceMode;
    }

    // Only a change reaches the window: a probe comes every few tenths of
    // a second, the text changes less often.
    static void onWait(void* context, std::int32_t wait, std::int32_t done, std::int32_t total)
    {
        auto& self = *static_cast<CfcLibrary*>(context);
        std::lock_guard lock(self.mutex_);
        const auto now = frontend::WaitTracker::Clock::now();
        self.tracker_.report(wait, done, total, now);
        std::string text = self.tracker_.text(now);
        if (text == self.shown_ || !self.observer_)
            return;
        self.shown_ = text;
        self.observer_(text);
    }

    std::mutex mutex_;
    std::function<void(const std::string&)> observer_;
    frontend::WaitTracker tracker_;
    std::string shown_;
};

} // namespace

ModuleLibrary& cfcLibrary()
{
    static CfcLibrary library;
    return library;
}

} // namespace kestrix
