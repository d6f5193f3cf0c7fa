#include "plugin/DisplayWindow.h"

#include "common/HostErrors.h"
#include "common/HostPaths.h"

namespace {

const wchar_t* const WindowClass = L"VeltraHostDisplay";

} // namespace

DisplayWindow::DisplayWindow(int width, int height, const std::string& title)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &DisplayWindow::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = WindowClass;
    RegisterClassW(&windowClass);

    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    _window = CreateWindowExW(0, WindowClass, Widen(title).c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!_window)
        throw HostFailure("the display window could not be created");
    SetWindowLongPtrW(_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(_window, SW_SHOWNORMAL);
    UpdateWindow(_window);
    PumpMessages();
}

DisplayWindow::~DisplayWindow()
{
    if (_window)
        DestroyWindow(_window);
    UnregisterClassW(WindowClass, GetModuleHandleW(nullptr));
}

bool DisplayWindow::PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return !_closed;
}

LRESULT CALLBACK DisplayWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DisplayWindow* self = reinterpret_cast<DisplayWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_CLOSE || (message == WM_KEYDOWN && wParam == VK_ESCAPE))) {
        self->_closed = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
