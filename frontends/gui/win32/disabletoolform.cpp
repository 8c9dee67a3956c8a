#include "disabletoolform.h"

#include "application.h"
#include "form_fit.h"
#include "form_look.h"
#include "forms.h"

#include <vector>

namespace kestrix::win32 {
namespace {

namespace form = forms::disabletool;

constexpr const char* windowClass = "TDisableTool";
// A job from the worker: lParam holds the std::function it owns.
constexpr UINT jobMessage = WM_APP + 1;

enum ControlId : int { groupBox1Id = 100, aboutId, portSelBoxId, startButtonId, closeButtonId };

// Room the drop-down list gets below the field.
constexpr int dropDownHeight = 160;

TDisableTool* viewOf(HWND window)
{
    return reinterpret_cast<TDisableTool*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The designed place, unless the window would leave the work area of the
// screen it is on (a small screen, a task bar at the bottom): then just
// inside it.
forms::Box placeOnScreen()
{
    forms::Box box{form::outer.left, form::outer.top, scaled(form::outer.width),
                   scaled(form::outer.height)};
    const RECT designed{box.left, box.top, box.left + box.width, box.top + box.height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromRect(&designed, MONITOR_DEFAULTTONEAREST), &monitor))
        return box;
    const RECT& work = monitor.rcWork;
    return forms::keepInside(box,
                             {work.left, work.top, work.right - work.left, work.bottom - work.top});
}

} // namespace

TDisableTool::TDisableTool(HINSTANCE instance, HWND owner, ModuleLibrary& library,
                           const PortProbe& portPresent)
{
    icon_ = programIcon(instance, GetSystemMetrics(SM_CXICON));
    smallIcon_ = programIcon(instance, GetSystemMetrics(SM_CXSMICON));
    registerFormClass(instance, windowClass, procedure, icon_, smallIcon_);

    // The outer frame as designed; the client area is what the system's
    // sizeable frame leaves inside it. Owned by the application's window,
    // whose button the task bar shows.
    const forms::Box outer = placeOnScreen();
    window_ = CreateWindowExA(WS_EX_CONTROLPARENT, windowClass, form::caption, WS_OVERLAPPEDWINDOW,
                              outer.left, outer.top, outer.width, outer.height, owner, nullptr,
                              instance, this);
    if (!window_)
        return;
    jobTarget_ = window_;
    createControls();
    presenter_ = std::make_unique<DisableToolPresenter>(*this, library, portPresent);
}

TDisableTool::~TDisableTool()
{
    // While the window still stands: a running switch-off may still post its
    // end to it.
    presenter_.reset();
    if (window_)
        DestroyWindow(window_);
    DeleteObject(font_);
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void TDisableTool::createControls()
{
    font_ = createFormFont(forms::fontPixelHeight, false);
    setFont(window_, font_);
    // Created in tab order (StartButton, CloseButton, PortSelBox, GroupBox1
    // with About inside); the group box comes last, so it lies below the
    // controls that stand in its frame.
    startButton_ =
        createControl(window_, "BUTTON", form::startButtonCaption, BS_PUSHBUTTON | WS_TABSTOP,
                      scaled(form::startButton), startButtonId, font_);
    createControl(window_, "BUTTON", form::closeButtonCaption, BS_PUSHBUTTON | WS_TABSTOP,
                  scaled(form::closeButton), closeButtonId, font_);
    forms::Box combo = form::portSelBox;
    combo.height += dropDownHeight;
    portSelBox_ = createControl(window_, "COMBOBOX", "", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP,
                                scaled(combo), portSelBoxId, font_);
    SendMessageA(portSelBox_, CB_SETITEMHEIGHT, 0, scaled(form::portSelItemHeight));
    HWND group = createControl(window_, "BUTTON", form::groupBox1Caption, BS_GROUPBOX,
                               scaled(form::groupBox1), groupBox1Id, font_);
    // The group box holds the About button: tabbing goes into it, and the
    // button's click, which goes to its parent, is handed on to the window.
    SetWindowLongPtrA(group, GWL_EXSTYLE,
                      GetWindowLongPtrA(group, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    groupDefault_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(group, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(groupProcedure)));
    SetWindowLongPtrA(group, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    createControl(group, "BUTTON", form::aboutCaption, BS_PUSHBUTTON | WS_TABSTOP,
                  scaled(form::about), aboutId, font_);
    SetFocus(startButton_);
}

void TDisableTool::setPortItems(const std::vector<std::string>& names)
{
    SendMessageA(portSelBox_, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageA(portSelBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    // Selection index 0 on an empty list: nothing selected, the text empty.
    SendMessageA(portSelBox_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

std::string TDisableTool::portText() const
{
    if (selecting_)
        return *selecting_;
    std::vector<char> text(GetWindowTextLengthA(portSelBox_) + 1);
    GetWindowTextA(portSelBox_, text.data(), static_cast<int>(text.size()));
    return text.data();
}

void TDisableTool::showMessage(const Message& message)
{
    MessageBoxA(window_, message.text, message.caption, 0);
}

void TDisableTool::showAbout()
{
    if (aboutBox_)
        aboutBox_->show();
}

void TDisableTool::setBusy(bool busy)
{
    busy_ = busy;
    EnableWindow(startButton_, !busy);
    // The cursor follows at once, not only when the mouse next moves.
    POINT at;
    GetCursorPos(&at);
    SetCursorPos(at.x, at.y);
}

void TDisableTool::closeWindow()
{
    PostMessageA(window_, WM_CLOSE, 0, 0);
}

void TDisableTool::post(std::function<void()> job)
{
    auto* owned = new std::function<void()>(std::move(job));
    if (!PostMessageA(jobTarget_, jobMessage, 0, reinterpret_cast<LPARAM>(owned)))
        delete owned; // the window is gone: the job is dropped
}

void TDisableTool::command(int id, int notification)
{
    switch (id) {
    case startButtonId:
        if (notification == BN_CLICKED)
            presenter_->AutoStartOff();
        break;
    case closeButtonId:
        if (notification == BN_CLICKED)
            presenter_->CloseApp();
        break;
    case aboutId:
        if (notification == BN_CLICKED)
            presenter_->AboutClick();
        break;
    case portSelBoxId:
        // A list item was chosen; typing into the field selects nothing.
        if (notification == CBN_SELCHANGE) {
            const LRESULT index = SendMessageA(portSelBox_, CB_GETCURSEL, 0, 0);
            if (index == CB_ERR)
                break;
            std::vector<char> item(SendMessageA(portSelBox_, CB_GETLBTEXTLEN, index, 0) + 1);
            SendMessageA(portSelBox_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
            selecting_ = item.data();
            presenter_->SelectPort();
            selecting_.reset();
        }
        break;
    }
}

LRESULT TDisableTool::handle(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_COMMAND:
        if (presenter_)
            command(LOWORD(w), HIWORD(w));
        return 0;
    case jobMessage: {
        std::unique_ptr<std::function<void()>> job(reinterpret_cast<std::function<void()>*>(l));
        (*job)();
        return 0;
    }
    case WM_SYSCOMMAND:
        if (minimiseThroughOwner(window_, w))
            return 0;
        break;
    case WM_SETCURSOR:
        if (busy_) {
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // While a switch-off runs the window stays; it closes after the
        // outcome was shown.
        if (!presenter_ || presenter_->MayClose())
            DestroyWindow(window_);
        return 0;
    case WM_DESTROY: {
        // Jobs still queued are dropped with the window.
        MSG pending;
        while (PeekMessageA(&pending, window_, jobMessage, jobMessage, PM_REMOVE))
            delete reinterpret_cast<std::function<void()>*>(pending.lParam);
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    }
    return DefWindowProcA(window_, message, w, l);
}

LRESULT CALLBACK TDisableTool::procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto* view =
            static_cast<TDisableTool*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        view->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    if (TDisableTool* view = viewOf(window); view && view->window_ == window)
        return view->handle(message, w, l);
    return DefWindowProcA(window, message, w, l);
}

LRESULT CALLBACK TDisableTool::groupProcedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    TDisableTool* view = viewOf(window);
    if (message == WM_COMMAND)
        return SendMessageA(GetParent(window), message, w, l);
    return CallWindowProcA(view->groupDefault_, window, message, w, l);
}

} // namespace kestrix::win32
