#include "scene/Patterns.h"

#include <algorithm>
#include <cmath>

namespace {

Image Checker(const PatternSpec& pattern, int width, int height, double scale)
{
    const double cell = std::max(1.0, pattern.cell * scale);
    const uint32_t colours[2] = {PackColour(pattern.first), PackColour(pattern.second)};
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.At(x, y) = colours[(static_cast<int>(x / cell) + static_cast<int>(y / cell)) % 2];
    return image;
}

Image Gradient(const PatternSpec& pattern, int width, int height)
{
    Image image(width, height);
    const int steps = pattern.vertical ? height : width;
    for (int i = 0; i < steps; ++i) {
        const float t = steps > 1 ? static_cast<float>(i) / static_cast<float>(steps - 1) : 0.0f;
        const Colour& a = pattern.first;
        const Colour& b = pattern.second;
        const uint32_t pixel = PackColour({a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                                           a.a + (b.a - a.a) * t});
        for (int j = 0; j < (pattern.vertical ? width : height); ++j)
            (pattern.vertical ? image.At(j, i) : image.At(i, j)) = pixel;
    }
    return image;
}

// The seven bars of a test card: white, yellow, cyan, green, magenta, red, blue.
Image Bars(const PatternSpec& pattern, int width, int height)
{
    const float on = pattern.level;
    const Colour bars[7] = {{on, on, on, 1}, {on, on, 0, 1}, {0, on, on, 1}, {0, on, 0, 1},
                            {on, 0, on, 1},  {on, 0, 0, 1},  {0, 0, on, 1}};
    Image image(width, height);
    for (int x = 0; x < width; ++x) {
        const uint32_t pixel = PackColour(bars[std::min(6, x * 7 / width)]);
        for (int y = 0; y < height; ++y)
            image.At(x, y) = pixel;
    }
    return image;
}

} // namespace

Image GeneratePattern(const PatternSpec& pattern, int width, int height, double scale)
{
    switch (pattern.kind) {
    case PatternKind::Checker:
        return Checker(pattern, width, height, scale);
    case PatternKind::Gradient:
        return Gradient(pattern, width, height);
    case PatternKind::Bars:
        return Bars(pattern, width, height);
    }
    return Image(width, height);
}
