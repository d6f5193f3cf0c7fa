#pragma once
// What a texture's pixel format decides: the Direct3D format, the bytes per texel
// and the usage of a GPU texture. Values outside the known ones count as 32-bit colour.

#include <VeltraRender/TextureSettings.h>

#include <d3d9.h>
#include <cstdint>

uint32_t GetDX9Format(uint32_t pixelFormat);
uint32_t BytesPerTexel(uint32_t pixelFormat);
// Alpha-only textures are dynamic (and so cannot be render targets); the rest are render targets.
DWORD GpuTextureUsage(uint32_t pixelFormat);

// Images match when width, height and pixel format agree; the other fields do not count.
inline bool SameImage(const VeltraRender::ImageDescriptor& a, const VeltraRender::ImageDescriptor& b)
{
    return a.pixelWidth == b.pixelWidth && a.pixelHeight == b.pixelHeight && a.pixelFormat == b.pixelFormat;
}

inline void SetExtras(VeltraRender::ImageDescriptor& image, uint32_t first, uint32_t second, uint32_t third, bool flag)
{
    image.extra1 = first;
    image.extra2 = second;
    image.extra3 = third;
    image.extraFlag = flag;
}
