#include "scene/Image.h"

#include "common/HostPaths.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_WINDOWS_UTF8
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_WINDOWS_UTF8
#include <stb/stb_image_write.h>

namespace {

uint32_t Channel(float value)
{
    return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

} // namespace

uint32_t PackColour(const Colour& colour)
{
    return Channel(colour.a) << 24 | Channel(colour.r) << 16 | Channel(colour.g) << 8 | Channel(colour.b);
}

int LargestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    int largest = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            largest = std::max(largest, std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF)));
    return largest;
}

bool LoadImageFile(const std::string& path, Image& image, std::string& error)
{
    error = ReadProblem(path);
    if (!error.empty())
        return false;
    int width = 0, height = 0, channels = 0;
    if (stbi_info(path.c_str(), &width, &height, &channels) && (width > LargestImage || height > LargestImage)) {
        error = "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; the largest is " +
                std::to_string(LargestImage) + " x " + std::to_string(LargestImage);
        return false;
    }
    stbi_uc* rgba = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (!rgba) {
        error = stbi_failure_reason() ? stbi_failure_reason() : "unreadable";
        return false;
    }
    image = Image(width, height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        image.pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    return true;
}

bool WritePng(const std::string& path, const Image& image)
{
    std::vector<uint8_t> rgba(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t pixel = image.pixels[i];
        rgba[4 * i + 0] = static_cast<uint8_t>(pixel >> 16);
        rgba[4 * i + 1] = static_cast<uint8_t>(pixel >> 8);
        rgba[4 * i + 2] = static_cast<uint8_t>(pixel);
        rgba[4 * i + 3] = static_cast<uint8_t>(pixel >> 24);
    }
    return stbi_write_png(path.c_str(), image.width, image.height, 4, rgba.data(), image.width * 4) != 0;
}

Image Unpremultiplied(const Image& image)
{
    Image result = image;
    for (uint32_t& pixel : result.pixels) {
        const uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 255)
            continue;
        uint32_t straight = alpha << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t channel = std::min<uint32_t>(255, ((pixel >> shift & 0xFF) * 255 + alpha / 2) / alpha);
            straight |= channel << shift;
        }
        pixel = straight;
    }
    return result;
}
