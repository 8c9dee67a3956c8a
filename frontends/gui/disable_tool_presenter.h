// The main window's logic without its drawing: the port list, the selected
// port and the switch-off with its message boxes. Every method is called on
// the window's thread.
#pragma once

#include "disable_tool_view.h"
#include "module_library.h"
#include "port_list.h"

#include "plat/thread.h"

#include <cstdint>
#include <string>

namespace kestrix {

class DisableToolPresenter {
public:
    // The window is being created: fills its port list.
    DisableToolPresenter(DisableToolView& view, ModuleLibrary& library,
                         const PortProbe& portPresent);
    // Waits for a switch-off that is still running: leaving a module half
    // way (DTR held during a boot) is worse than a late exit.
    ~DisableToolPresenter();

    DisableToolPresenter(const DisableToolPresenter&) = delete;
    DisableToolPresenter& operator=(const DisableToolPresenter&) = delete;

    // A list item was selected: its number becomes the selected port.
    void SelectPort();
    // The list is about to open: ports come and go, so it is read again.
    void PortListOpening();
    // "AutoExec Off": the switch-off sequence on the selected port.
    void AutoStartOff();
    void AboutClick();
    void CloseApp();

    // Asked before the window closes. While the sequence runs the answer is
    // no: the sequence is told to end soon, and the window closes once it
    // has ended, without a message nobody asked for.
    bool MayClose();

    std::int32_t selectedPort() const { return selectedPort_; }
    bool running() const { return running_; }

private:
    struct Outcome {
        Message message;
        std::string detail;
    };
    static Outcome runSwitchOff(ModuleLibrary& library, std::int32_t port);
    void finishRun(const Outcome& outcome);

    DisableToolView& view_;
    ModuleLibrary& library_;
    PortProbe portPresent_;
    std::int32_t selectedPort_ = 0;
    bool running_ = false;
    bool closePending_ = false;
    plat::Thread worker_;
};

} // namespace kestrix
