#include "application.h"

#include "form_look.h"

namespace kestrix::win32 {
namespace {

constexpr const char* windowClass = "TApplication";

TApplication* applicationOf(HWND window)
{
    return reinterpret_cast<TApplication*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

} // namespace

TApplication::TApplication(HINSTANCE instance, const char* title)
{
    icon_ = programIcon(instance, GetSystemMetrics(SM_CXICON));
    smallIcon_ = programIcon(instance, GetSystemMetrics(SM_CXSMICON));
    registerFormClass(instance, windowClass, procedure, icon_, smallIcon_);
    // Visible and unowned, so the task bar gives it the button; no size, so
    // nothing of it shows. Centred, where the system looks for it when it
    // animates a minimise.
    window_ = CreateWindowExA(0, windowClass, title,
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS,
                              GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2,
                              0, 0, nullptr, nullptr, instance, nullptr);
    if (window_)
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TApplication::~TApplication()
{
    if (window_)
        DestroyWindow(window_);
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void TApplication::showMainWindow(HWND main, int show)
{
    main_ = main;
    // A program started minimised shows its button minimised, and the main
    // window with it when the user restores it.
    const bool minimised = show == SW_MINIMIZE || show == SW_SHOWMINIMIZED ||
                           show == SW_SHOWMINNOACTIVE || show == SW_FORCEMINIMIZE;
    ShowWindow(window_, minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNA);
    if (!minimised)
        ShowWindow(main, show);
}

bool minimiseThroughOwner(HWND main, WPARAM command)
{
    if ((command & 0xFFF0) != SC_MINIMIZE)
        return false;
    HWND owner = GetWindow(main, GW_OWNER);
    if (!owner)
        return false;
    // Minimising the owner hides the windows it owns, the main window too.
    ShowWindow(owner, SW_MINIMIZE);
    return true;
}

LRESULT CALLBACK TApplication::procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    TApplication* application = applicationOf(window);
    HWND main = application ? application->main_ : nullptr;
    switch (message) {
    case WM_SETFOCUS:
        // Activated from the task bar: the user means the main window.
        if (main && IsWindowVisible(main) && IsWindowEnabled(main)) {
            SetFocus(main);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_RESTORE && main) {
            // The system shows the owned windows again; the main window
            // gets the focus back.
            DefWindowProcA(window, message, w, l);
            if (!IsWindowVisible(main))
                ShowWindow(main, SW_SHOW);
            SetActiveWindow(main);
            return 0;
        }
        break;
    case WM_CLOSE:
        // "Close window" on the button: as if the main window's own close
        // were pressed, which waits for a running switch-off.
        if (main)
            PostMessageA(main, WM_CLOSE, 0, 0);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

} // namespace kestrix::win32
