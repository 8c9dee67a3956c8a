#include "disable_tool_presenter.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace kestrix {
namespace {

constexpr std::int32_t baudRate = 115200;
// No external trace sink: the library traces to its own file, if at all.
constexpr std::uint32_t noTraceSink = 0;
constexpr std::uint8_t autoStartOff = 0;
constexpr std::string_view portPrefix = "COM";

// The number after "COM", converted strictly: the whole rest must be a
// decimal number. List items always are; anything else selects nothing new.
std::optional<std::int32_t> portNumberOf(std::string_view text)
{
    if (text.size() <= portPrefix.size())
        return std::nullopt;
    const std::string_view digits = text.substr(portPrefix.size());
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

} // namespace

// The library calls in their fixed order; the first failure ends the
// sequence. Why it failed is asked while the connection is still open, and
// the connection is closed in every case before the outcome is shown. A
// failed open is not tested here: its handle makes the service-mode step
// fail.
DisableToolPresenter::Outcome DisableToolPresenter::runSwitchOff(ModuleLibrary& library,
                                                                 std::int32_t port)
{
    const std::uint32_t handle = library.comOpen(port, baudRate, noTraceSink);
    Outcome outcome{messages::switchedOff, {}};
    auto failed = [&](const Message& message, FailedStep step) {
        outcome = {message, library.failureReason(step, port, handle)};
    };
    if (!library.initServiceMode(handle))
        failed(messages::cannotConnect, FailedStep::ServiceMode);
    else if (!library.switchJavaAutoStart(handle, autoStartOff))
        failed(messages::cannotSwitchOff, FailedStep::AutoStart);
    else if (!library.switchOff(handle))
        failed(messages::cannotClose, FailedStep::SwitchOff);
    library.comClose(handle);
    return outcome;
}

DisableToolPresenter::DisableToolPresenter(DisableToolView& view, ModuleLibrary& library,
                                           const PortProbe& portPresent)
    : view_(view), library_(library), portPresent_(portPresent)
{
    view_.setPortItems(buildPortList(portPresent_));
    // Reported on the sequence's thread; shown on the window's.
    library_.watchWaits([this](const std::string& text) {
        view_.post([this, text] { view_.showProgress(text); });
    });
}

DisableToolPresenter::~DisableToolPresenter()
{
    worker_.join();
    library_.watchWaits(nullptr);
}

void DisableToolPresenter::SelectPort()
{
    if (const auto number = portNumberOf(view_.portText()))
        selectedPort_ = *number;
}

void DisableToolPresenter::PortListOpening()
{
    view_.refreshPortItems(buildPortList(portPresent_));
}

void DisableToolPresenter::AutoStartOff()
{
    // The button is disabled while a sequence runs; a click that was already
    // queued must not start a second one on the same port.
    if (running_)
        return;
    if (selectedPort_ == 0) {
        view_.showMessage(messages::noPortSelected);
        return;
    }
    // The sequence may take a minute when no module answers. It runs beside
    // the window so that the window keeps painting and is not taken for hung
    // (and killed while DTR is held); its calls and their order are those of
    // the window's own thread.
    running_ = true;
    view_.setBusy(true);
    const std::int32_t port = selectedPort_;
    const bool started = worker_.start(
        [this, port] {
            const Outcome outcome = runSwitchOff(library_, port);
            view_.post([this, outcome] { finishRun(outcome); });
        },
        nullptr);
    // No thread to be had: the window's thread does the work and the window
    // waits, as it always did.
    if (!started)
        finishRun(runSwitchOff(library_, port));
}

void DisableToolPresenter::finishRun(const Outcome& outcome)
{
    worker_.join();
    running_ = false;
    view_.setBusy(false);
    view_.showProgress({});
    if (closePending_) {
        // The user asked to leave; the outcome of a run cut short is no
        // news worth a click.
        closePending_ = false;
        view_.closeWindow();
        return;
    }
    view_.showOutcome(outcome.message, outcome.detail);
}

void DisableToolPresenter::AboutClick()
{
    view_.showAbout();
}

void DisableToolPresenter::CloseApp()
{
    view_.closeWindow();
}

bool DisableToolPresenter::MayClose()
{
    if (running_ && !closePending_) {
        closePending_ = true;
        library_.abandonRun();
    }
    return !running_;
}

} // namespace kestrix
