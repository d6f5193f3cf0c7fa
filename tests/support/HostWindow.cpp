#include "HostWindow.h"

#include <stdexcept>

namespace {

const wchar_t* const WindowClass = L"VeltraTestHostWindow";
const int Slots = 12;

POINT SlotCorner(int slot)
{
    return {16 + slot % 4 * 300, 16 + slot / 4 * 320};
}

// Test programs run side by side on one X display: each puts its windows in a place of
// its own, the first of twelve that no test window of any process covers now (starting
// from one picked by the process id, so that programs started together look apart).
POINT FreeCorner(int width, int height)
{
    const int first = static_cast<int>(GetCurrentProcessId() / 4 % Slots);
    for (int i = 0; i < Slots; ++i) {
        const POINT corner = SlotCorner((first + i) % Slots);
        const RECT place = {corner.x, corner.y, corner.x + width, corner.y + height};
        bool taken = false;
        for (HWND other = nullptr; !taken && (other = FindWindowExW(nullptr, other, WindowClass, nullptr));) {
            RECT rect, overlap;
            taken = GetWindowRect(other, &rect) && IntersectRect(&overlap, &rect, &place);
        }
        if (!taken)
            return corner;
    }
    return SlotCorner(first);
}

} // namespace

HostWindow::HostWindow(int width, int height, const wchar_t* title)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = WindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    // Above every ordinary window (the reference host's, say), so that what a test reads
    // off the screen is its own. Without a frame, the client area is the whole window.
    const POINT corner = FreeCorner(width, height);
    _window = CreateWindowExW(WS_EX_TOPMOST, WindowClass, title, WS_POPUP | WS_VISIBLE, corner.x, corner.y, width, height,
                              nullptr, nullptr, windowClass.hInstance, nullptr);
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
