#include "HostWindow.h"

#include <stdexcept>

namespace {

const wchar_t* const HostWindowClass = L"VeltraTestHostWindow";

void RegisterHostWindowClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = HostWindowClass;
    RegisterClassW(&windowClass);
    registered = true;
}

} // namespace

HostWindow::HostWindow(int width, int height, const wchar_t* title)
{
    RegisterHostWindowClass();
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    // Test programs run side by side on one X display: each process puts its windows
    // in a place of its own, so that what one of them reads off the screen is its own.
    const int slot = static_cast<int>(GetCurrentProcessId() / 4 % 12);
    const int left = 16 + slot % 4 * 300, top = 16 + slot / 4 * 320;
    _window = CreateWindowExW(0, HostWindowClass, title, WS_OVERLAPPEDWINDOW, left, top, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!_window)
        throw std::runtime_error("host window could not be created");
    ShowWindow(_window, SW_SHOWNORMAL);
    UpdateWindow(_window);
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

namespace {

BOOL CALLBACK MatchHiddenDeviceWindow(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[32] = {};
    wchar_t title[32] = {};
    GetClassNameW(window, className, 32);
    GetWindowTextW(window, title, 32);
    if (process == GetCurrentProcessId() && lstrcmpW(className, L"VeltraRender") == 0 &&
        lstrcmpW(title, L"DirectXWindow") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindHiddenDeviceWindow()
{
    HWND found = nullptr;
    EnumWindows(MatchHiddenDeviceWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}
