#pragma once
// A screenshot of part of the X display the test programs run on (Wine only).
//
// Direct3D under Wine presents through OpenGL straight into the X window, past
// Wine's GDI; this reads the pixels the X server shows instead. Coordinates are screen coordinates (ClientToScreen),
// which equal X root-window coordinates when Wine runs without a virtual desktop.
//
// Wine loads x11capture.dll as a builtin without any DLL override, as long as
// WINEDLLPATH leads to dist/wine (scripts/wine-run sets it) and the marked DLL
// is on the search path (dist/, on WINEPATH).

#ifdef __cplusplus
extern "C" {
#endif

// Copies the rectangle into `pixels` (width * height values, top-down rows,
// 0xFFRRGGBB). Answers 1 on success; 0 when there is no display, the rectangle
// is not wholly on the screen, `pixels` is null, or a size is not in 1..16384.
__declspec(dllimport) int __cdecl X11Capture(int x, int y, int width, int height, unsigned int* pixels);

#ifdef __cplusplus
}

#include <windows.h>
#include <cstdint>
#include <vector>

// What the display shows in a window's client area (width x height from its top-left
// corner), with the window raised above the others first; empty when it cannot be read.
inline std::vector<uint32_t> CaptureClientArea(HWND window, int width, int height)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (X11Capture(origin.x, origin.y, width, height, reinterpret_cast<unsigned int*>(pixels.data())) != 1)
        pixels.clear();
    return pixels;
}
#endif
