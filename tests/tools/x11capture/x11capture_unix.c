// x11capture.so: the Unix side of the screen-capture bridge. It keeps its own
// connection to the X server named by DISPLAY (the one Wine runs on), opened at the
// first capture, and reads the root window: whatever any client drew there, OpenGL
// included, is in it. Test programs capture from one thread at a time.
#include "x11capture_unixlib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

typedef int32_t (*unixlib_entry_t)(void *args);  // answers an NTSTATUS

static Display *display;

// The rectangle is checked against the root window
// first: XGetImage outside it is a protocol error, and Xlib's default handler for that
// ends the process. Only the 24-bit true-colour layout of Xvfb is read.
static int capture_rectangle(const struct x11capture_capture_params *params)
{
    if (!display)
        display = XOpenDisplay(NULL);
    if (!display)
        return 0;
    XWindowAttributes root;
    if (!XGetWindowAttributes(display, DefaultRootWindow(display), &root) || params->x < 0 || params->y < 0
        || params->width < 1 || params->height < 1 || (int64_t)params->x + params->width > root.width
        || (int64_t)params->y + params->height > root.height)
        return 0;
    XImage *image = XGetImage(display, DefaultRootWindow(display), params->x, params->y, (unsigned int)params->width,
                              (unsigned int)params->height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const int readable = image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
    for (int row = 0; readable && row < params->height; ++row)
        for (int column = 0; column < params->width; ++column)
            params->pixels[row * params->width + column] = 0xFF000000u | (uint32_t)XGetPixel(image, column, row);
    XDestroyImage(image);
    return readable;
}

static int32_t capture(void *args)
{
    struct x11capture_capture_params *params = args;
    params->result = params->pixels && params->width <= 16384 && params->height <= 16384 && capture_rectangle(params);
    return 0;
}

// Wine looks this table up by name; the order is enum x11capture_unix_call's.
__attribute__((visibility("default"))) const unixlib_entry_t __wine_unix_call_funcs[x11capture_unix_call_count] = {
    [x11capture_unix_capture] = capture,
};
