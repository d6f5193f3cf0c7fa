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
#endif
