// What both Win32 forms share: the designed font, placing a control by its
// designed box, and the program's icon.
#pragma once

#include "forms.h"

#include <windows.h>

namespace kestrix::win32 {

inline constexpr int iconResource = 1;

// The forms were designed at 96 dpi. The program tells the system it scales
// itself (its manifest), so that text stays crisp: designed pixels become
// the screen's here, and back again (rounded up) for a measured size.
int scaled(int designed);
forms::Box scaled(const forms::Box& designed);
int designedFrom(int screenPixels);

// The forms' font at a designed pixel height (negative: the character
// height, not the cell's), normal or bold. Owned by the caller.
HFONT createFormFont(int pixelHeight, bool bold);
void setFont(HWND window, HFONT font);

// A child control at a box of screen pixels inside `parent`'s client area
// (a designed box goes through scaled() first).
HWND createControl(HWND parent, const char* windowClass, const char* text, DWORD style,
                   const forms::Box& box, int id, HFONT font);

HICON programIcon(HINSTANCE instance, int size);

// A window class of the forms: button-face background, arrow cursor, and
// the icons when given.
void registerFormClass(HINSTANCE instance, const char* name, WNDPROC procedure,
                       HICON icon = nullptr, HICON smallIcon = nullptr);

// The size of a text in a font, as a label sized to its text takes it.
SIZE textExtent(HWND window, HFONT font, const char* text);

} // namespace kestrix::win32
