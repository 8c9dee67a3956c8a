// The program's task-bar button under the application title: a window of
// its own that owns the main window, as the class library the program was
// designed on does it. The window is never seen (it has no size); what the
// task bar asks of it (activate, minimise, restore, close) it hands to the
// main window, which for its part minimises through it.
#pragma once

#include <windows.h>

namespace kestrix::win32 {

class TApplication {
public:
    TApplication(HINSTANCE instance, const char* title);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    HWND window() const { return window_; }
    // The window the task bar's requests go to, and its first showing.
    void showMainWindow(HWND main, int show);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

    HWND window_ = nullptr;
    HWND main_ = nullptr;
    // The button's pictures.
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
};

// Lets the owned main window minimise the whole program: true when the
// system command was taken over.
bool minimiseThroughOwner(HWND main, WPARAM command);

} // namespace kestrix::win32
