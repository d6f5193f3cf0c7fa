#pragma once
// A visible top-level window of the test host, the kind a host hands to Initialize.

#include <windows.h>

class HostWindow {
public:
    HostWindow(int width, int height, const wchar_t* title = L"Veltra test host");
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Handle() const { return _window; }
    // Handles pending messages of this thread, so that the window paints and moves.
    static void PumpMessages();

private:
    HWND _window = nullptr;
};

// The plug-in's hidden device window in this process, or null. Searching by class
// alone would also find other processes' windows on the same display.
HWND FindHiddenDeviceWindow();
