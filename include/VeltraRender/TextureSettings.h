#pragma once
// Settings of GPU and CPU textures: the image descriptor and its pixel format.

#include "ResourceHeader.h"

#include <cstdint>

namespace VeltraRender {

// Formats 0 to 2 and 6 are 32-bit colour (A8R8G8B8); 3 is alpha only; 4 and 5 store
// two image pixels in one 32-bit texel, so their textures are half as wide.
enum PixelFormat : uint32_t {
    pfColor0 = 0,
    pfColor1 = 1,
    pfColor2 = 2,
    pfA8 = 3,
    pfPaired4 = 4,
    pfPaired5 = 5,
    pfDefault = 6,
};

struct ImageDescriptor {
    int32_t pixelWidth = 0;
    int32_t pixelHeight = 0;               // also the texture height in texels
    uint32_t pixelFormat = pfDefault;
    uint32_t hostValue1 = 0;               // host data, carried along
    uint64_t hostValue2 = 0;
    uint32_t extra3 = 1;                   // set by SetImageExtras, never read by the back-end
    bool extraFlag = true;
    uint32_t extra1 = 0;
    uint32_t extra2 = 0;
    uint32_t hostValue3 = 0;
    int32_t rowBytes = 0;                  // bytes per row of the host's pixel data
    uint32_t hostValue4 = 0;

    // Texels per row of the texture: formats 4 and 5 pack two pixels per texel.
    int32_t GetInternalPixelWidth() const
    {
        return pixelFormat == pfPaired4 || pixelFormat == pfPaired5 ? pixelWidth / 2 : pixelWidth;
    }
};

struct TextureSettings : ResourceHeader {
    ImageDescriptor image;
    const void* data = nullptr;            // initial pixels, uploaded by SetSettings when set
};

} // namespace VeltraRender
