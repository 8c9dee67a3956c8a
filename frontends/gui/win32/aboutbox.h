// The About dialog as a Win32 window: created hidden with the program, shown
// without being modal, hidden again by "OK", Enter or its frame.
#pragma once

#include <windows.h>

namespace kestrix::win32 {

class TAboutBox {
public:
    TAboutBox(HINSTANCE instance, HWND owner);
    ~TAboutBox();
    TAboutBox(const TAboutBox&) = delete;
    TAboutBox& operator=(const TAboutBox&) = delete;

    // Centred on the screen; a dialog already shown is brought up again.
    void show();
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK panelProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    void createControls(HINSTANCE instance);
    HWND label(HWND parent, const char* text, int left, int top, HFONT font);

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT productFont_ = nullptr;
    HICON icon_ = nullptr;
};

} // namespace kestrix::win32
