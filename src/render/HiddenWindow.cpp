#include "HiddenWindow.h"

#include <cwchar>
#include <iterator>
#include <vector>

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
    // Only the thread that made a window can destroy it. A device released on another
    // thread can also leave its drawing context current on the window's thread, bound to
    // this window: Wine's Direct3D frees that context when the thread next makes a device,
    // and crashes if the window is gone by then. So the window stays until then (see
    // DestroyEarlierHiddenWindows), or until Windows destroys it with its thread.
    if (!DestroyWindow(window))
        return;
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

namespace {

BOOL CALLBACK CollectEarlierWindow(HWND window, LPARAM found)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (wcscmp(className, RenderWindowClassName) == 0)
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

} // namespace

void DestroyEarlierHiddenWindows(HWND current)
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectEarlierWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        if (window != current)
            DestroyHiddenWindow(window);
    }
}
