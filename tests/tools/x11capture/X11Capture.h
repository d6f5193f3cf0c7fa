#pragma once
// What the X display the test programs run on shows (Wine only): Direct3D under Wine
// presents through OpenGL straight into the X window, past Wine's GDI. Wine loads
// x11capture.dll as a builtin as long as WINEDLLPATH leads to dist/wine and the marked
// DLL is on the search path (scripts/wine-run sees to both).

#include <windows.h>

#include <cstdint>
#include <vector>

// Copies the rectangle of the screen (X root-window coordinates) into `pixels` (top-down
// rows, 0xFFRRGGBB). Answers 1 on success, 0 without a display or when the rectangle is
// not wholly on the screen.
extern "C" __declspec(dllimport) int __cdecl X11Capture(int x, int y, int width, int height, unsigned int* pixels);

// What the display shows in a window's client area (width x height from its top-left
// corner), with the window raised above the others first; empty when it cannot be read.
inline std::vector<uint32_t> CaptureClientArea(HWND window, int width, int height)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (X11Capture(origin.x, origin.y, width, height, reinterpret_cast<unsigned int*>(pixels.data())) != 1)
        pixels.clear();
    return pixels;
}
