// The main window as a Win32 window over the presenter: the controls of the
// form, the presenter's handlers on their notifications, and the view's
// duties (message boxes, the About dialog, jobs posted from the worker).
#pragma once

#include "aboutbox.h"
#include "disable_tool_presenter.h"

#include <memory>
#include <optional>
#include <windows.h>

namespace kestrix::win32 {

class TDisableTool final : public DisableToolView {
public:
    TDisableTool(HINSTANCE instance, HWND owner, ModuleLibrary& library,
                 const PortProbe& portPresent);
    ~TDisableTool();
    TDisableTool(const TDisableTool&) = delete;
    TDisableTool& operator=(const TDisableTool&) = delete;

    HWND window() const { return window_; }
    // The About dialog, created after the window as the program does.
    void setAboutBox(TAboutBox& aboutBox) { aboutBox_ = &aboutBox; }

    void setPortItems(const std::vector<std::string>& names) override;
    std::string portText() const override;
    void showMessage(const Message& message) override;
    void showAbout() override;
    void setBusy(bool busy) override;
    void closeWindow() override;
    void post(std::function<void()> job) override;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK groupProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void command(int id, int notification);
    void createControls();

    HWND window_ = nullptr;
    // Where the worker posts its jobs; a window that is gone refuses them.
    HWND jobTarget_ = nullptr;
    HWND portSelBox_ = nullptr;
    HWND startButton_ = nullptr;
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    WNDPROC groupDefault_ = nullptr;
    bool busy_ = false;
    // The item being selected: the field shows it only after the
    // notification, and the presenter reads it during.
    std::optional<std::string> selecting_;
    TAboutBox* aboutBox_ = nullptr;
    std::unique_ptr<DisableToolPresenter> presenter_;
};

} // namespace kestrix::win32
