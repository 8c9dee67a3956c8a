// What both Win32 forms share: the designed font, placing a control by its
// designed box, and the program's icon.
#pragma once

#include "forms.h"

#include <windows.h>

namespace kestrix::win32 {

inline constexpr int iconResource = 1;

// The forms' font at a pixel height (negative: the character height, not
// the cell's), normal or bold. Owned by the caller.
HFONT createFormFont(int pixelHeight, bool bold);
void setFont(HWND window, HFONT font);

// A child control at its designed box inside `parent`'s client area.
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
