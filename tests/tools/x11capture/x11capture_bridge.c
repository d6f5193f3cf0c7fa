// x11capture.dll for Wine: the Windows side of the screen-capture bridge. Marked as a
// Wine builtin, it forwards X11Capture to its Unix side (x11capture_unix.c). Linked
// without a C runtime; imports only from ntdll.
#include "WineUnixLib.h"
#include "x11capture_unixlib.h"

static unixlib_handle_t unix_handle;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
int __cdecl X11Capture(int x, int y, int width, int height, unsigned int *pixels);

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    // Without the Unix side the DLL still loads, and every capture fails.
    if (reason == DLL_PROCESS_ATTACH)
        unix_handle = wine_unixlib_open(instance);
    return TRUE;
}

int __cdecl X11Capture(int x, int y, int width, int height, unsigned int *pixels)
{
    struct x11capture_capture_params params = {x, y, width, height, (uint32_t *)pixels, 0};
    if (!unix_handle || __wine_unix_call_dispatcher(unix_handle, x11capture_unix_capture, &params))
        return 0;
    return params.result;
}
