// The one call from the Windows side of the screen-capture bridge (x11capture.dll, mingw)
// to its Unix side (x11capture.so, native gcc over Xlib); every field has the same size
// under LLP64 and LP64.
#pragma once

#include <stdint.h>

enum x11capture_unix_call { x11capture_unix_capture, x11capture_unix_call_count };

struct x11capture_capture_params {
    int32_t x, y, width, height;
    uint32_t *pixels; // width * height values, top-down rows, 0xFFRRGGBB
    int32_t result;   // 1 on success, 0 on failure
};

_Static_assert(sizeof(struct x11capture_capture_params) == 32, "the same layout on both sides");
