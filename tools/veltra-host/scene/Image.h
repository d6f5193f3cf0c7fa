// Images as the plug-in takes them: A8R8G8B8 pixels, in memory B, G, R, A bytes,
// rows of width * 4 bytes. PNG files are read and written with stb.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A colour with components from 0 to 1 as one A8R8G8B8 pixel.
uint32_t PackColour(const Colour& colour);

// The largest difference of one channel between pixels at the same place: 0 when the
// pixels are the same.
int LargestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// The largest texture the host makes, in pixels across and down.
const int LargestImage = 8192;

// False with a reason in `error` when the file cannot be read as an image, or is
// larger than LargestImage either way.
bool LoadImageFile(const std::string& path, Image& image, std::string& error);

// Writes straight (not premultiplied) pixels as an RGBA PNG.
bool WritePng(const std::string& path, const Image& image);

// The frame's premultiplied colour divided by its alpha, as image files store it.
Image Unpremultiplied(const Image& image);
