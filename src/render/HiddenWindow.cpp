#include "HiddenWindow.h"

const wchar_t* const RenderWindowClassName = L"VeltraRender";

namespace {

LRESULT CALLBACK HiddenWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void RegisterRenderWindowClass()
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = HiddenWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32517));   // IDI_WINLOGO
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.lpszClassName = RenderWindowClassName;
    RegisterClassW(&windowClass);
}

void UnregisterRenderWindowClass()
{
    UnregisterClassW(RenderWindowClassName, GetModuleHandleW(nullptr));
}

HWND CreateHiddenWindow()
{
    return CreateWindowExW(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, RenderWindowClassName, L"DirectXWindow",
                           WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 1280, 720, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void DestroyHiddenWindow(HWND window)
{
    DestroyWindow(window);
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
