#include "aboutbox.h"

#include "form_fit.h"
#include "form_look.h"
#include "forms.h"

#include <algorithm>

namespace kestrix::win32 {
namespace {

namespace form = forms::aboutbox;

constexpr const char* windowClass = "TAboutBox";
constexpr const char* panelClass = "TAboutBoxPanel";
constexpr DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD dialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

} // namespace

TAboutBox::TAboutBox(HINSTANCE instance, HWND owner)
{
    registerFormClass(instance, windowClass, procedure);
    registerFormClass(instance, panelClass, panelProcedure);

    // A dialog frame: not resizable; the client area is sized once the
    // controls know the room their text needs.
    window_ = CreateWindowExA(dialogExStyle, windowClass, form::caption, dialogStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, scaled(form::clientWidth), scaled(form::clientHeight),
                              owner, nullptr, instance, nullptr);
    if (window_)
        createControls(instance);
}

TAboutBox::~TAboutBox()
{
    if (window_)
        DestroyWindow(window_);
    DeleteObject(font_);
    DeleteObject(productFont_);
    if (icon_)
        DestroyIcon(icon_);
}

HWND TAboutBox::label(HWND parent, const char* text, int left, int top, HFONT font)
{
    const SIZE size = textExtent(parent, font, text);
    return createControl(parent, "STATIC", text, SS_LEFT | SS_NOPREFIX,
                         {scaled(left), scaled(top), size.cx, size.cy}, 0, font);
}

void TAboutBox::createControls(HINSTANCE instance)
{
    font_ = createFormFont(forms::fontPixelHeight, false);
    productFont_ = createFormFont(form::productNamePixelHeight, true);
    setFont(window_, font_);

    // The comment wraps at its fixed width in whatever face the system
    // chose for the designed one; the panel takes the lines it needs.
    const forms::Box commentsBox = scaled(form::comments);
    RECT wrapped{0, 0, commentsBox.width, 0};
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font_);
    DrawTextA(dc, form::commentsText, -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    const forms::AboutFit fit = forms::fitAbout(designedFrom(wrapped.bottom));
    RECT outer{0, 0, scaled(form::clientWidth), scaled(fit.clientHeight)};
    AdjustWindowRectEx(&outer, dialogStyle, FALSE, dialogExStyle);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    forms::Box panelBox = form::panel1;
    panelBox.height = fit.panelHeight;
    HWND panel =
        createControl(window_, panelClass, "", WS_CLIPCHILDREN, scaled(panelBox), 0, font_);
    const forms::Box iconBox = scaled(form::programIcon);
    icon_ = programIcon(instance, iconBox.width);
    HWND picture =
        createControl(panel, "STATIC", "", SS_ICON | SS_REALSIZECONTROL, iconBox, 0, nullptr);
    SendMessageA(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    MoveWindow(picture, iconBox.left, iconBox.top, iconBox.width, iconBox.height, FALSE);

    // The texts are the program's constants, in the order the form sets them.
    label(panel, form::productNameText, form::productNameLeft, form::productNameTop, productFont_);
    label(panel, form::copyrightText, form::copyrightLeft, form::copyrightTop, font_);
    label(panel, form::versionText, form::versionLeft, form::versionTop, font_);
    forms::Box comments = commentsBox;
    comments.height = std::max<int>(scaled(fit.commentsHeight), wrapped.bottom);
    createControl(panel, "STATIC", form::commentsText, SS_LEFT | SS_NOPREFIX, comments, 0, font_);

    forms::Box okBox = form::okButton;
    okBox.top = fit.okButtonTop;
    createControl(window_, "BUTTON", form::okButtonCaption, BS_DEFPUSHBUTTON | WS_TABSTOP,
                  scaled(okBox), IDOK, font_);
}

void TAboutBox::show()
{
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(window_);
    SetFocus(GetDlgItem(window_, IDOK));
}

LRESULT CALLBACK TAboutBox::procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_COMMAND:
        // "OK", and Enter through the default button.
        if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
            ShowWindow(window, SW_HIDE);
            return 0;
        }
        break;
    case WM_CLOSE:
        // The frame's close hides it too; it lives as long as the program.
        ShowWindow(window, SW_HIDE);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

LRESULT CALLBACK TAboutBox::panelProcedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_PAINT) {
        // A lowered outer and a raised inner bevel.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        DrawEdge(dc, &area, EDGE_ETCHED, BF_RECT);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

} // namespace kestrix::win32
