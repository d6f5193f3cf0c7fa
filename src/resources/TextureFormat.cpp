#include "TextureFormat.h"

#include <VeltraRender/TextureSettings.h>

uint32_t GetDX9Format(uint32_t pixelFormat)
{
    return pixelFormat == VeltraRender::pfA8 ? D3DFMT_A8 : D3DFMT_A8R8G8B8;
}

uint32_t BytesPerTexel(uint32_t pixelFormat)
{
    return pixelFormat == VeltraRender::pfA8 ? 1 : 4;
}

DWORD GpuTextureUsage(uint32_t pixelFormat)
{
    return pixelFormat == VeltraRender::pfA8 ? D3DUSAGE_DYNAMIC : D3DUSAGE_RENDERTARGET;
}
