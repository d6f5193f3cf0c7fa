// The window `display` presents into: a top-level window whose client area is the
// frame's size. Closing it or pressing Escape ends the display.
#pragma once

#include <windows.h>

#include <string>

class DisplayWindow {
public:
    DisplayWindow(int width, int height, const std::string& title);
    ~DisplayWindow();
    DisplayWindow(const DisplayWindow&) = delete;
    DisplayWindow& operator=(const DisplayWindow&) = delete;

    HWND Handle() const { return _window; }
    // Handles pending messages; false once the window was closed.
    bool PumpMessages();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND _window = nullptr;
    bool _closed = false;
};
