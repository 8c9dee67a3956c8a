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

// The library calls in their fixed order; the first failure ends the
// sequence. The connection is closed in every case before the outcome is
// shown. A failed open is not tested here: its handle makes the service-mode
// step fail.
Message runSwitchOff(ModuleLibrary& library, std::int32_t port)
{
    const std::uint32_t handle = library.comOpen(port, baudRate, noTraceSink);
    Message outcome = messages::switchedOff;
    if (!library.initServiceMode(handle))
        outcome = messages::cannotConnect;
    else if (!library.switchJavaAutoStart(handle, autoStartOff))
        outcome = messages::cannotSwitchOff;
    else if (!library.switchOff(handle))
        outcome = messages::cannotClose;
    library.comClose(handle);
    return outcome;
}

} // namespace

DisableToolPresenter::DisableToolPresenter(DisableToolView& view, ModuleLibrary& library,
                                           const PortProbe& portPresent)
    : view_(view), library_(library)
{
    view_.setPortItems(buildPortList(portPresent));
}

DisableToolPresenter::~DisableToolPresenter()
{
    if (worker_.joinable())
        worker_.join();
}

void DisableToolPresenter::SelectPort()
{
    if (const auto number = portNumberOf(view_.portText()))
        selectedPort_ = *number;
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
    try {
        worker_ = std::thread([this, port] {
            const Message outcome = runSwitchOff(library_, port);
            view_.post([this, outcome] { finishRun(outcome); });
        });
    } catch (const std::system_error&) {
        // No thread to be had: the window's thread does the work and the
        // window waits, as it always did.
        finishRun(runSwitchOff(library_, port));
    }
}

void DisableToolPresenter::finishRun(Message outcome)
{
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    view_.setBusy(false);
    view_.showMessage(outcome);
    if (closePending_) {
        closePending_ = false;
        view_.closeWindow();
    }
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
    if (running_)
        closePending_ = true;
    return !running_;
}

} // namespace kestrix
