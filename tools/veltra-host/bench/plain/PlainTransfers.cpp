#include "bench/plain/PlainTransfers.h"

#include "common/ComReference.h"
#include "common/HostErrors.h"
#include "common/RowCopy.h"
#include "common/Timing.h"

void CheckPlain(HRESULT result, const char* call)
{
    if (FAILED(result))
        throw HostFailure(std::string("plain Direct3D: ") + call + " failed");
}

namespace {

void UpdateTexture(IDirect3DDevice9Ex* device, IDirect3DTexture9* from, IDirect3DTexture9* to)
{
    ComReference<IDirect3DSurface9> source, destination;
    CheckPlain(from->GetSurfaceLevel(0, source.Receive()), "GetSurfaceLevel");
    CheckPlain(to->GetSurfaceLevel(0, destination.Receive()), "GetSurfaceLevel");
    CheckPlain(device->UpdateSurface(source.Get(), nullptr, destination.Get(), nullptr), "UpdateSurface");
}

} // namespace

void UploadOverHostMemory(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* texture, double* creation)
{
    void* memory = const_cast<void*>(pixels);
    ComReference<IDirect3DTexture9> staging;
    const double start = Now();
    CheckPlain(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, staging.Receive(),
                                     reinterpret_cast<HANDLE*>(&memory)),
               "CreateTexture (over the host's pixels)");
    if (creation)
        *creation = Now() - start;
    UpdateTexture(device, staging.Get(), texture);
}

void UploadThroughStaging(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* staging, IDirect3DTexture9* texture)
{
    D3DLOCKED_RECT locked;
    CheckPlain(staging->LockRect(0, &locked, nullptr, 0), "LockRect");
    const size_t row = size_t(width) * 4;
    CopyRows(locked.pBits, size_t(locked.Pitch), pixels, row, row, size_t(height));
    staging->UnlockRect(0);
    UpdateTexture(device, staging, texture);
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
    CopyRows(pixels, row, locked.pBits, size_t(locked.Pitch), row, size_t(height));
    readBack->UnlockRect(0);
    if (lockAndCopy)
        *lockAndCopy = Now() - start;
}

IDirect3DTexture9* CreatePlainTexture(IDirect3DDevice9Ex* device, int width, int height, bool readBack)
{
    ComReference<IDirect3DTexture9> texture;
    CheckPlain(readBack ? device->CreateTexture(width, height, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                texture.Receive(), nullptr)
                        : device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                texture.Receive(), nullptr),
               readBack ? "CreateTexture (system memory)" : "CreateTexture");
    if (readBack) {
        // Locked once when made, as the plug-in's CPU textures are (it fills them then).
        // Wine copies a render target into a system-memory texture that was never
        // locked on the CPU, and keeps that render target in system memory from then
        // on: uploads into it and read-backs out of it would become memory copies that
        // never reach the GPU, which no host's frame sees.
        D3DLOCKED_RECT locked;
        CheckPlain(texture->LockRect(0, &locked, nullptr, 0), "LockRect (once, when made)");
        texture->UnlockRect(0);
    }
    IDirect3DTexture9* made = texture.Get();
    made->AddRef();
    return made;
}

void WaitForGpu(IDirect3DQuery9* event)
{
    event->Issue(D3DISSUE_END);
    while (event->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE)
        SwitchToThread();
}
