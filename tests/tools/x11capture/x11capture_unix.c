/*
 * x11capture.so: the Unix side of the screen-capture bridge, built with the
 * native gcc and linked with Xlib.
 *
 * It keeps its own connection to the X server named by DISPLAY (the one Wine
 * runs on), opened at the first capture, and reads the root window: whatever
 * any client drew there, OpenGL included, is in it. Calls may come from any
 * Windows thread; one mutex serialises the use of the connection.
 */
#include "x11capture_unixlib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <pthread.h>
#include <string.h>

typedef int32_t NTSTATUS;
typedef NTSTATUS (*unixlib_entry_t)(void *args);

#define STATUS_SUCCESS 0

static pthread_mutex_t display_mutex = PTHREAD_MUTEX_INITIALIZER;
static Display *display;

/* The 8-bit value of the channel under `mask` (a contiguous run of bits). */
static uint32_t channel_value(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    const int shift = __builtin_ctzl(mask);
    const int bits = __builtin_popcountl(mask);
    const unsigned long value = (pixel & mask) >> shift;
    if (bits >= 8)
        return (uint32_t)(value >> (bits - 8));
    return (uint32_t)(value * 255 / ((1UL << bits) - 1));
}

static int is_native_byte_order(int byte_order)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return byte_order == LSBFirst;
#else
    return byte_order == MSBFirst;
#endif
}

static void convert_image(XImage *image, int width, int height, uint32_t *pixels)
{
    if (image->bits_per_pixel == 32 && is_native_byte_order(image->byte_order)
        && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF)
    {
        for (int row = 0; row < height; ++row)
        {
            const char *source = image->data + (size_t)row * (size_t)image->bytes_per_line;
            uint32_t *target = pixels + (size_t)row * (size_t)width;
            memcpy(target, source, (size_t)width * sizeof(uint32_t));
            for (int column = 0; column < width; ++column)
                target[column] |= 0xFF000000u;
        }
        return;
    }
    for (int row = 0; row < height; ++row)
    {
        for (int column = 0; column < width; ++column)
        {
            const unsigned long pixel = XGetPixel(image, column, row);
            pixels[(size_t)row * (size_t)width + (size_t)column] =
                0xFF000000u | channel_value(pixel, image->red_mask) << 16
                | channel_value(pixel, image->green_mask) << 8
                | channel_value(pixel, image->blue_mask);
        }
    }
}

/* Called with display_mutex held. The rectangle is checked against the root
 * window first: XGetImage outside it is a protocol error, and Xlib's default
 * handler for that ends the process. */
static int capture_locked(const struct x11capture_capture_params *params)
{
    if (!display)
        display = XOpenDisplay(NULL);
    if (!display)
        return 0;

    const int screen = DefaultScreen(display);
    const Visual *visual = DefaultVisual(display, screen);
    if (visual->class != TrueColor)
        return 0;

    const Window root = RootWindow(display, screen);
    Window ignored_root;
    int root_x, root_y;
    unsigned int root_width, root_height, border, depth;
    if (!XGetGeometry(display, root, &ignored_root, &root_x, &root_y, &root_width, &root_height,
                      &border, &depth))
        return 0;
    if (params->x < 0 || params->y < 0
        || (int64_t)params->x + params->width > (int64_t)root_width
        || (int64_t)params->y + params->height > (int64_t)root_height)
        return 0;

    XSync(display, False);
    XImage *image = XGetImage(display, root, params->x, params->y, (unsigned int)params->width,
                              (unsigned int)params->height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const int converted = image->red_mask && image->green_mask && image->blue_mask;
    if (converted)
        convert_image(image, params->width, params->height, params->pixels);
    XDestroyImage(image);
    return converted;
}

static NTSTATUS capture(void *args)
{
    struct x11capture_capture_params *params = args;
    params->result = 0;
    if (!params->pixels || params->width <= 0 || params->height <= 0
        || params->width > X11CAPTURE_MAX_SIDE || params->height > X11CAPTURE_MAX_SIDE)
        return STATUS_SUCCESS;
    pthread_mutex_lock(&display_mutex);
    params->result = capture_locked(params);
    pthread_mutex_unlock(&display_mutex);
    return STATUS_SUCCESS;
}

/* Wine looks this table up by name; the order is enum x11capture_unix_call's. */
__attribute__((visibility("default"))) const unixlib_entry_t __wine_unix_call_funcs[] = {
    [x11capture_unix_capture] = capture,
};

_Static_assert(sizeof(__wine_unix_call_funcs) / sizeof(__wine_unix_call_funcs[0])
                   == x11capture_unix_call_count,
               "one entry per call");
