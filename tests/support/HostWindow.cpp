#include "HostWindow.h"

#include <stdexcept>

HostWindow::HostWindow(int width, int height, const wchar_t* title)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VeltraTestHostWindow";
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    // Test programs run side by side on one X display: each process puts its windows
    // in a place of its own, above every ordinary window (the reference host's, say), so
    // that what one of them reads off the screen is its own. Without a frame, the client
    // area is the whole window.
    const int slot = static_cast<int>(GetCurrentProcessId() / 4 % 12);
    _window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, title, WS_POPUP | WS_VISIBLE, 16 + slot % 4 * 300,
                              16 + slot / 4 * 320, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!_window)
        throw std::runtime_error("host window could not be created");
    PumpMessages();
}

HostWindow::~HostWindow()
{
    DestroyWindow(_window);
    PumpMessages();
}

void HostWindow::PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND FindHiddenDeviceWindow()
{
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"VeltraRender", L"DirectXWindow"));) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}
