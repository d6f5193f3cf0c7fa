/*
 * x11capture.dll for Wine: the Windows side of the screen-capture bridge.
 *
 * Marked as a Wine builtin, it forwards X11Capture to its Unix side
 * (x11capture.so, see x11capture_unix.c), which reads the pixels from the X
 * server. Linked without a C runtime; imports only from ntdll.
 */
#include <windows.h>

#include "x11capture_unixlib.h"

typedef UINT64 unixlib_handle_t;

/* Wine's ntdll: a data export holding the function that switches to the Unix
 * side and calls entry `code` of the module's __wine_unix_call_funcs. */
__declspec(dllimport) extern LONG(WINAPI *__wine_unix_call_dispatcher)(unixlib_handle_t handle,
                                                                      unsigned int code,
                                                                      void *args);

/* Not declared by mingw's headers; exported by every ntdll. */
__declspec(dllimport) LONG WINAPI NtQueryVirtualMemory(HANDLE process, LPCVOID address,
                                                       ULONG info_class, PVOID buffer,
                                                       SIZE_T length, SIZE_T *result_length);

/* Wine's information class: the handle of the Unix library that belongs to
 * the builtin module at `address`. */
#define MEMORY_WINE_UNIX_FUNCS 1000

static unixlib_handle_t x11capture_unix_handle;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
int __cdecl X11Capture(int x, int y, int width, int height, unsigned int *pixels);

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    /* Without the Unix side the DLL still loads, so that a test program that
     * imports it runs; every capture then fails. */
    const HANDLE current_process = (HANDLE)(LONG_PTR)-1;
    if (NtQueryVirtualMemory(current_process, instance, MEMORY_WINE_UNIX_FUNCS,
                             &x11capture_unix_handle, sizeof(x11capture_unix_handle), NULL)
        != 0)
        x11capture_unix_handle = 0;
    return TRUE;
}

int __cdecl X11Capture(int x, int y, int width, int height, unsigned int *pixels)
{
    if (!x11capture_unix_handle)
        return 0;
    struct x11capture_capture_params params = {x, y, width, height, (uint32_t *)pixels, 0};
    if (__wine_unix_call_dispatcher(x11capture_unix_handle, x11capture_unix_capture, &params) != 0)
        return 0;
    return params.result;
}
