/* kestrix.exe as a user drives it, through its own window messages: the
 * window appears with the port listed, "AutoExec Off" before a selection
 * says "No COM Port selected", the About dialog opens and Enter hides it,
 * and with the port selected the switch-off runs to its message box while
 * the window stays responsive. Along the way: the task bar's title, the
 * window's place on the screen and the About dialog's texts inside their
 * panel; the windows are saved as BMP files, from the screen, and their
 * places and sizes printed.
 *
 * kestrix_drive <kestrix.exe> <port> <screenshot-directory>
 * Exit code 0 when the switch-off ended with the success message. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static const char* g_shots;

static void fail(const char* what)
{
    printf("FAIL: %s\n", what);
    fflush(stdout);
    ExitProcess(1);
}

/* Windows of another process appear and change on its own time; each wait
 * looks again every 50 ms and gives up after its bound. */
typedef HWND (*Probe)(const void* context);

static HWND waitFor(Probe probe, const void* context, DWORD boundMs)
{
    DWORD waited = 0;
    for (;;) {
        HWND found = probe(context);
        if (found || waited >= boundMs)
            return found;
        Sleep(50);
        waited += 50;
    }
}

static HWND visibleForm(const void* context)
{
    const char* const* names = (const char* const*)context;
    HWND form = FindWindowA(names[0], names[1]);
    return form && IsWindowVisible(form) ? form : NULL;
}

static HWND hiddenForm(const void* context)
{
    HWND form = FindWindowA(((const char* const*)context)[0], NULL);
    return form && !IsWindowVisible(form) ? form : NULL;
}

static HWND g_owner;

/* A message box of the main window: a dialog it owns. */
static BOOL CALLBACK ownedDialog(HWND window, LPARAM found)
{
    char name[16];
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0 && GetWindow(window, GW_OWNER) == g_owner &&
        IsWindowVisible(window)) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND messageBox(const void* context)
{
    HWND found = NULL;
    (void)context;
    EnumWindows(ownedDialog, (LPARAM)&found);
    return found;
}

static BOOL CALLBACK longestStatic(HWND child, LPARAM text)
{
    char name[16];
    char found[256];
    GetClassNameA(child, name, sizeof name);
    if (_stricmp(name, "Static") == 0 && GetWindowTextA(child, found, sizeof found) > 0 &&
        strlen(found) > strlen((char*)text))
        strcpy((char*)text, found);
    return TRUE;
}

/* The box's text and caption; the box is then closed with its OK button. */
static void answerBox(HWND box, char* text, char* caption)
{
    text[0] = '\0';
    EnumChildWindows(box, longestStatic, (LPARAM)text);
    GetWindowTextA(box, caption, 64);
    printf("message box: \"%s\" / \"%s\"\n", text, caption);
}

static void closeBox(HWND box)
{
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

static HWND gone(const void* context)
{
    HWND box = *(const HWND*)context;
    return IsWindow(box) && IsWindowVisible(box) ? NULL : box;
}

static void printBox(HWND parent, HWND control, const char* name)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, parent, (POINT*)&r, 2);
    printf("  %-12s %d, %d  %ld x %ld\n", name, (int)r.left, (int)r.top, r.right - r.left,
           r.bottom - r.top);
}

static void printForm(HWND form, const char* name)
{
    RECT outer;
    RECT client;
    GetWindowRect(form, &outer);
    GetClientRect(form, &client);
    printf("%s: outer %ld, %ld  %ld x %ld, client %ld x %ld\n", name, outer.left, outer.top,
           outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom);
}

/* The task bar shows the application title "Autostart Off": its button
 * belongs to a visible window without owner, which owns the main window
 * (which then has no button of its own). */
static void checkTaskBarTitle(HWND main)
{
    char title[64] = "";
    HWND owner = GetWindow(main, GW_OWNER);
    if (!owner)
        fail("the main window has no owner whose button the task bar shows");
    GetWindowTextA(owner, title, sizeof title);
    if (strcmp(title, "Autostart Off") != 0 || !IsWindowVisible(owner) ||
        GetWindow(owner, GW_OWNER) || (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) ||
        (GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_APPWINDOW))
        fail("the task bar does not show \"Autostart Off\" for the program");
    printf("task bar: \"%s\"\n", title);
}

/* At the designed place 196, 539 when the window fits the work area there,
 * else moved just inside it. */
static void checkPlacement(HWND main)
{
    MONITORINFO monitor;
    RECT r;
    LONG width;
    LONG height;
    int fits;
    GetWindowRect(main, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
    memset(&monitor, 0, sizeof monitor);
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
    if (r.left < monitor.rcWork.left || r.top < monitor.rcWork.top ||
        r.right > monitor.rcWork.right || r.bottom > monitor.rcWork.bottom)
        fail("the main window leaves the work area");
    fits = 196 + width <= monitor.rcWork.right && 539 + height <= monitor.rcWork.bottom;
    if (fits && (r.left != 196 || r.top != 539))
        fail("the main window is not at its designed place, where it fits");
    if (!fits && r.right != monitor.rcWork.right && r.bottom != monitor.rcWork.bottom)
        fail("the main window was moved further than into the work area");
    printf("placement: %ld, %ld inside the work area %ld, %ld - %ld, %ld\n", r.left, r.top,
           monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom);
}

/* Every text of the About panel lies inside its bevel, and the OK button
 * below the panel inside the dialog. */
static void checkAboutLayout(HWND dialog)
{
    HWND panel = FindWindowExA(dialog, NULL, "TAboutBoxPanel", NULL);
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND label = NULL;
    RECT inner;
    RECT client;
    RECT box;
    RECT panelBox;
    int labels = 0;
    if (!panel || !ok)
        fail("the About dialog lacks its panel or OK button");
    GetClientRect(panel, &inner);
    InflateRect(&inner, -2, -2);
    while ((label = FindWindowExA(panel, label, "Static", NULL)) != NULL) {
        GetWindowRect(label, &box);
        MapWindowPoints(NULL, panel, (POINT*)&box, 2);
        if (box.left < inner.left || box.top < inner.top || box.right > inner.right ||
            box.bottom > inner.bottom)
            fail("a text of the About dialog runs over its panel's border");
        ++labels;
    }
    if (labels < 5)
        fail("the About panel lacks a text");
    GetClientRect(dialog, &client);
    GetWindowRect(panel, &panelBox);
    MapWindowPoints(NULL, dialog, (POINT*)&panelBox, 2);
    GetWindowRect(ok, &box);
    MapWindowPoints(NULL, dialog, (POINT*)&box, 2);
    if (box.top < panelBox.bottom || box.bottom > client.bottom)
        fail("the About dialog's OK button overlaps the panel or leaves the dialog");
    printf("About layout: %d texts inside the panel's border\n", labels);
}

/* The window as the screen shows it, into <directory>/<name>.bmp. */
static void saveShot(HWND form, const char* name)
{
    char path[MAX_PATH];
    RECT r;
    HDC screen;
    HDC memory;
    HBITMAP bitmap;
    void* bits;
    BITMAPINFO info;
    BITMAPFILEHEADER file;
    FILE* out;
    LONG width;
    LONG height;
    SetForegroundWindow(form);
    RedrawWindow(form, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300); /* the other process paints on its own time */
    GetWindowRect(form, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    screen = GetDC(NULL);
    memory = CreateCompatibleDC(screen);
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    info.bmiHeader.biSizeImage = (DWORD)(((width * 3 + 3) & ~3) * height);
    memset(&file, 0, sizeof file);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + info.bmiHeader.biSizeImage;
    snprintf(path, sizeof path, "%s\\%s.bmp", g_shots, name);
    out = fopen(path, "wb");
    if (out) {
        fwrite(&file, sizeof file, 1, out);
        fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        fwrite(bits, 1, info.bmiHeader.biSizeImage, out);
        fclose(out);
        printf("saved %s\n", path);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

int main(int argc, char** argv)
{
    static const char* const mainForm[] = {"TDisableTool", "Disable AutoExec"};
    static const char* const aboutForm[] = {"TAboutBox", "About"};
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    HWND window, combo, group, about, start, box, aboutBox;
    LRESULT item;
    char text[256];
    char caption[64];
    DWORD exitCode = 1;
    DWORD_PTR ignored;
    if (argc != 4) {
        printf("usage: kestrix_drive <kestrix.exe> <port> <screenshot-directory>\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    g_shots = argv[3];
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        fail("kestrix.exe does not start");
    WaitForInputIdle(process.hProcess, 60000);
    window = waitFor(visibleForm, mainForm, 60000);
    if (!window)
        fail("no window \"Disable AutoExec\"");
    g_owner = window;
    printForm(window, "main window");
    checkTaskBarTitle(window);
    checkPlacement(window);
    combo = FindWindowExA(window, NULL, "ComboBox", NULL);
    group = FindWindowExA(window, NULL, "Button", "COM Port for Module");
    about = group ? FindWindowExA(group, NULL, "Button", "About") : NULL;
    start = FindWindowExA(window, NULL, "Button", "AutoExec Off");
    if (!combo || !about || !start)
        fail("the window lacks a control");
    printBox(window, group, "GroupBox1");
    printBox(group, about, "About");
    printBox(window, combo, "PortSelBox");
    printBox(window, start, "StartButton");
    printBox(window, FindWindowExA(window, NULL, "Button", "Close"), "CloseButton");

    /* Tab order: StartButton, CloseButton, PortSelBox, then About inside
     * GroupBox1, and round again. */
    {
        HWND close = FindWindowExA(window, NULL, "Button", "Close");
        HWND expected[] = {close, combo, about, start};
        HWND at = start;
        int i;
        for (i = 0; i < 4; ++i) {
            at = GetNextDlgTabItem(window, at, FALSE);
            if (at != expected[i])
                fail("the tab order is not StartButton, CloseButton, PortSelBox, About");
        }
        printf("tab order: StartButton, CloseButton, PortSelBox, About\n");
    }

    item = SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)argv[2]);
    printf("port list: %ld items, %s %s\n", (long)SendMessageA(combo, CB_GETCOUNT, 0, 0), argv[2],
           item == CB_ERR ? "missing" : "listed");
    if (item == CB_ERR)
        fail("the mapped port is not listed");
    saveShot(window, "kestrix-win32-main");

    /* Before any selection. */
    PostMessageA(start, BM_CLICK, 0, 0);
    box = waitFor(messageBox, NULL, 30000);
    if (!box)
        fail("no message box without a selection");
    answerBox(box, text, caption);
    if (strcmp(text, "No COM Port selected") != 0 || strcmp(caption, "Error") != 0)
        fail("the wrong message without a selection");
    closeBox(box);
    waitFor(gone, &box, 10000);

    /* The About dialog, and Enter hides it. */
    PostMessageA(about, BM_CLICK, 0, 0);
    aboutBox = waitFor(visibleForm, aboutForm, 30000);
    if (!aboutBox)
        fail("the About dialog does not open");
    printForm(aboutBox, "About dialog");
    checkAboutLayout(aboutBox);
    saveShot(aboutBox, "kestrix-win32-about");
    PostMessageA(GetDlgItem(aboutBox, IDOK), WM_KEYDOWN, VK_RETURN, 0);
    if (!waitFor(hiddenForm, aboutForm, 10000))
        fail("Enter does not hide the About dialog");

    /* The port, chosen from the list, and the switch-off. */
    SendMessageA(combo, CB_SETCURSEL, (WPARAM)item, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), (LPARAM)combo);
    PostMessageA(start, BM_CLICK, 0, 0);
    box = NULL;
    while (!box) {
        /* While the sequence runs the window answers at once. */
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
            fail("the window does not respond during the switch-off");
        box = waitFor(messageBox, NULL, 1000);
        if (!box && !IsWindow(window))
            fail("the window went away");
    }
    answerBox(box, text, caption);
    saveShot(box, "kestrix-win32-message");
    closeBox(box);
    waitFor(gone, &box, 10000);

    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        fail("kestrix.exe does not end when its window closes");
    GetExitCodeProcess(process.hProcess, &exitCode);
    printf("kestrix.exe ended with %lu\n", exitCode);
    if (strcmp(text, "AutoExec successfully switched off") != 0 ||
        strcmp(caption, "Disable AutoExec") != 0)
        fail("the switch-off did not succeed");
    printf("kestrix_drive: passed\n");
    return 0;
}
