// kestrix: switches the Java autostart of a module off from one small window.
#include "aboutbox.h"
#include "application.h"
#include "com_ports.h"
#include "disabletoolform.h"
#include "forms.h"
#include "module_library.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    using namespace kestrix::win32;
    // The application and its title first; then the main window, so that it
    // is the program's main window, then the About dialog, hidden, belonging
    // to it.
    TApplication application(instance, kestrix::forms::applicationTitle);
    TDisableTool disableTool(instance, application.window(), kestrix::cfcLibrary(),
                             comPortConfigured);
    if (!disableTool.window())
        return 1;
    TAboutBox aboutBox(instance, disableTool.window());
    disableTool.setAboutBox(aboutBox);
    application.showMainWindow(disableTool.window(), show);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab, Enter and the default button in whichever form has the focus.
        HWND form = GetAncestor(message.hwnd, GA_ROOT);
        if (form && (form == aboutBox.window() || form == disableTool.window()) &&
            IsDialogMessageA(form, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
