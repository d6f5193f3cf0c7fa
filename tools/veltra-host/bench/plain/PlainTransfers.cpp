#include "bench/plain/PlainTransfers.h"

#include "common/ComReference.h"
#include "common/HostErrors.h"
#include "common/Timing.h"

#include <cstdint>
#include <cstring>

void CheckPlain(HRESULT result, const char* call)
{
    if (FAILED(result))
        throw HostFailure(std::string("plain Direct3D: ") + call + " failed");
}

void UploadOverHostMemory(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* texture)
{
    void* memory = const_cast<void*>(pixels);
    ComReference<IDirect3DTexture9> staging;
    CheckPlain(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, staging.Receive(),
                                     reinterpret_cast<HANDLE*>(&memory)),
               "CreateTexture (over the host's pixels)");
    ComReference<IDirect3DSurface9> from, to;
    CheckPlain(staging->GetSurfaceLevel(0, from.Receive()), "GetSurfaceLevel");
    CheckPlain(texture->GetSurfaceLevel(0, to.Receive()), "GetSurfaceLevel");
    CheckPlain(device->UpdateSurface(from.Get(), nullptr, to.Get(), nullptr), "UpdateSurface");
}

void UploadThroughStaging(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* staging, IDirect3DTexture9* texture)
{
    D3DLOCKED_RECT locked;
    CheckPlain(staging->LockRect(0, &locked, nullptr, 0), "LockRect");
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, static_cast<const uint8_t*>(pixels) + y * row,
                    row);
    staging->UnlockRect(0);
    ComReference<IDirect3DSurface9> from, to;
    CheckPlain(staging->GetSurfaceLevel(0, from.Receive()), "GetSurfaceLevel");
    CheckPlain(texture->GetSurfaceLevel(0, to.Receive()), "GetSurfaceLevel");
    CheckPlain(device->UpdateSurface(from.Get(), nullptr, to.Get(), nullptr), "UpdateSurface");
}

void ReadRenderTarget(IDirect3DDevice9Ex* device, IDirect3DTexture9* target, IDirect3DTexture9* readBack, void* pixels,
                      int width, int height, double* lockAndCopy)
{
    ComReference<IDirect3DSurface9> from, to;
    CheckPlain(target->GetSurfaceLevel(0, from.Receive()), "GetSurfaceLevel");
    CheckPlain(readBack->GetSurfaceLevel(0, to.Receive()), "GetSurfaceLevel");
    CheckPlain(device->GetRenderTargetData(from.Get(), to.Get()), "GetRenderTargetData");
    const double start = Now();
    D3DLOCKED_RECT locked;
    CheckPlain(readBack->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), "LockRect");
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(pixels) + y * row, static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                    row);
    readBack->UnlockRect(0);
    if (lockAndCopy)
        *lockAndCopy = Now() - start;
}

IDirect3DTexture9* CreatePlainTexture(IDirect3DDevice9Ex* device, int width, int height, bool readBack)
{
    IDirect3DTexture9* texture = nullptr;
    CheckPlain(readBack ? device->CreateTexture(width, height, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                &texture, nullptr)
                        : device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                &texture, nullptr),
               readBack ? "CreateTexture (system memory)" : "CreateTexture");
    return texture;
}
