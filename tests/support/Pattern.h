#pragma once
// Test images with distinct saturated colours and varying alpha, and a pixel-exact
// comparison that honours the pitch of locked memory.

#include <VeltraRender/ResourceHeader.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

// A8R8G8B8 pixel (x, y) of the pattern: eight saturated colours, two alpha values.
inline uint32_t PatternPixel(int x, int y)
{
    static const uint32_t colours[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF, 0x000000};
    const uint32_t alpha = (x + y) % 2 ? 0xFF000000u : 0x7F000000u;
    return alpha | colours[(x + 3 * y) % 8];
}

// width x height pixels, rows of `rowBytes` (at least width * 4; the rest of a row is 0xEE).
inline std::vector<uint8_t> PatternImage(int width, int height, int rowBytes)
{
    std::vector<uint8_t> image(static_cast<size_t>(rowBytes) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = PatternPixel(x, y);
            std::memcpy(&image[static_cast<size_t>(y) * rowBytes + x * 4], &pixel, 4);
        }
    return image;
}

// Empty when every pixel of the locked image equals expected(x, y); else the first
// differences.
template <typename Expected>
std::string PixelDifferences(const VeltraRender::LockedMemory& locked, int width, int height, Expected expected)
{
    if (!locked.bits)
        return "nothing is mapped";
    std::ostringstream differences;
    int count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t actual;
            std::memcpy(&actual, static_cast<const uint8_t*>(locked.bits) + static_cast<size_t>(y) * locked.pitch + x * 4, 4);
            const uint32_t wanted = expected(x, y);
            if (actual != wanted && count++ < 5)
                differences << "(" << x << "," << y << ") is " << std::hex << actual << " not " << wanted << std::dec << "; ";
        }
    if (count)
        differences << count << " pixels differ";
    return differences.str();
}
