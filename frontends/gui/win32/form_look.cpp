#include "form_look.h"

#include <cstring>

namespace kestrix::win32 {
namespace {

constexpr int designDpi = 96;

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : designDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : designDpi;
}

int dpi()
{
    // The system's setting holds for the process's life (system DPI aware).
    static const int value = screenDpi();
    return value;
}

} // namespace

int scaled(int designed)
{
    return MulDiv(designed, dpi(), designDpi);
}

forms::Box scaled(const forms::Box& designed)
{
    return {scaled(designed.left), scaled(designed.top), scaled(designed.width),
            scaled(designed.height)};
}

int designedFrom(int screenPixels)
{
    return (screenPixels * designDpi + dpi() - 1) / dpi();
}

HFONT createFormFont(int pixelHeight, bool bold)
{
    // Where the face is missing the system substitutes its nearest sans face
    // at the same height; the About dialog measures what it got.
    return CreateFontA(-scaled(pixelHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, forms::fontFamily);
}

void setFont(HWND window, HFONT font)
{
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

HWND createControl(HWND parent, const char* windowClass, const char* text, DWORD style,
                   const forms::Box& box, int id, HFONT font)
{
    HWND control = CreateWindowExA(
        0, windowClass, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, box.left, box.top,
        box.width, box.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (control && font)
        setFont(control, font);
    return control;
}

HICON programIcon(HINSTANCE instance, int size)
{
    return static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(iconResource), IMAGE_ICON, size, size, 0));
}

void registerFormClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon,
                       HICON smallIcon)
{
    WNDCLASSEXA form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = procedure;
    form.hInstance = instance;
    form.hIcon = icon;
    form.hIconSm = smallIcon;
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = name;
    RegisterClassExA(&form);
}

SIZE textExtent(HWND window, HFONT font, const char* text)
{
    SIZE size{};
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size;
}

} // namespace kestrix::win32
