#include "bench/TransferSide.h"

const char* const TransferPixelProgram = R"(
uniform sampler2D source;
float4 main(float2 uv : TEXCOORD0) : COLOR
{
    return tex2D(source, uv);
}
)";

std::vector<uint32_t> BlockImage(int width, int height, int variant)
{
    std::vector<uint32_t> image(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t block = uint32_t(y / ProbeBlock) * 1009u + uint32_t(x / ProbeBlock);
            image[size_t(y) * width + x] = (block + 1) * 2654435761u ^ uint32_t(variant + 1) * 0x9E3779B9u;
        }
    return image;
}

std::vector<uint32_t> ProbeOf(const std::vector<uint32_t>& image, int width, int height)
{
    const int probeWidth = width / ProbeBlock, probeHeight = height / ProbeBlock;
    std::vector<uint32_t> probe(size_t(probeWidth) * probeHeight);
    for (int y = 0; y < probeHeight; ++y)
        for (int x = 0; x < probeWidth; ++x)
            probe[size_t(y) * probeWidth + x] = image[size_t(y * ProbeBlock + ProbeBlock / 2) * width + x * ProbeBlock + ProbeBlock / 2];
    return probe;
}
