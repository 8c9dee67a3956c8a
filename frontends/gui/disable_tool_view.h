// What the main window's logic needs from whatever draws the window.
#pragma once

#include "messages.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrix {

class DisableToolView {
public:
    // The port list's items, with no item selected and the text empty.
    virtual void setPortItems(const std::vector<std::string>& names) = 0;
    // What the port list's text field shows now.
    virtual std::string portText() const = 0;
    // Modal to the window; returns when the user has closed the box.
    virtual void showMessage(const Message& message) = 0;
    // The same box with what went wrong in detail (the device, the system's
    // reason, what helps) beside its fixed text; a view without a place for
    // it shows the fixed text alone.
    virtual void showOutcome(const Message& message, const std::string& detail)
    {
        (void)detail;
        showMessage(message);
    }
    // The port list's items again, the text and selection left as they are.
    virtual void refreshPortItems(const std::vector<std::string>& names) { (void)names; }
    // What the library waits for while the switch-off runs ("" for nothing),
    // somewhere the designed controls stay as they are.
    virtual void showProgress(const std::string& text) { (void)text; }
    // Shows the About dialog without making it modal, or brings it up again.
    virtual void showAbout() = 0;
    // While the switch-off runs: "AutoExec Off" disabled, a busy cursor.
    virtual void setBusy(bool busy) = 0;
    virtual void closeWindow() = 0;
    // Runs `job` later on the window's thread; callable from any thread. A
    // job still waiting when the view goes away is dropped.
    virtual void post(std::function<void()> job) = 0;

protected:
    ~DisableToolView() = default;
};

} // namespace kestrix
