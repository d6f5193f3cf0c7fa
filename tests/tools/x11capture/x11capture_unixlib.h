/*
 * The one call from the Windows side of the screen-capture bridge
 * (x11capture.dll, built with mingw) to its Unix side (x11capture.so, built
 * with the native gcc over Xlib). Both sides include this header; every field
 * has the same size under LLP64 and LP64.
 */
#ifndef VELTRA_X11CAPTURE_UNIXLIB_H
#define VELTRA_X11CAPTURE_UNIXLIB_H

#include <stddef.h>
#include <stdint.h>

/* Index into the Unix side's __wine_unix_call_funcs. */
enum x11capture_unix_call
{
    x11capture_unix_capture,
    x11capture_unix_call_count
};

/* Larger rectangles are refused before any X request is made. */
#define X11CAPTURE_MAX_SIDE 16384

struct x11capture_capture_params
{
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    uint32_t *pixels; /* width * height values, top-down rows, 0xAARRGGBB */
    int32_t result;   /* 1 on success, 0 on failure */
};

_Static_assert(sizeof(void *) == 8, "the bridge is 64-bit on both sides");
_Static_assert(sizeof(struct x11capture_capture_params) == 32
                   && offsetof(struct x11capture_capture_params, pixels) == 16
                   && offsetof(struct x11capture_capture_params, result) == 24,
               "x11capture_capture_params layout");

#endif
