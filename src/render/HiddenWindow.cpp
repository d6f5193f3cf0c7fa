#include "HiddenWindow.h"

const wchar_t* const RenderWindowClassName = L"VeltraRender";

void RegisterRenderWindowClass()
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    // The default procedure itself, not one of the plug-in's: a window that outlives the
    // plug-in (one whose thread never got to destroy it) must not call into an
    // unloaded library.
    windowClass.lpfnWndProc = DefWindowProcW;
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
    // Only the thread that made a window can destroy it. From any other thread the
    // window is asked to close: its thread destroys it when it next reads its messages,
    // or Windows does when that thread ends.
    if (!DestroyWindow(window)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
