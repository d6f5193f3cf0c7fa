// Uploads into a GPU texture and copies out of it: GPU to GPU by StretchRect, GPU to
// system memory by GetRenderTargetData.

#include "DX9ResTextureCPU.h"
#include "DX9ResTextureGPU.h"

#include "ComReference.h"
#include "ErrorReporting.h"
#include "PixelRows.h"
#include "RenderAccess.h"
#include "TextureFormat.h"

#include "../plugin/ModuleState.h"

using namespace Veltra;
using namespace VeltraRender;

bool DX9ResTextureGPU::SetTextureData(const void* data)
{
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::SetTextureData()\n", LogAddress(this));
    SetState(rsTransferring);
    if (data && _texOb) {
        RenderAccess access(_settings.render);
        UploadThroughSystemMemory(data, access.Device());
    }
    SetState(rsReady);
    return true;
}

void DX9ResTextureGPU::UploadThroughSystemMemory(const void* data, IDirect3DDevice9* device)
{
    const ImageDescriptor& image = _settings.image;
    const UINT width = static_cast<UINT>(image.GetInternalPixelWidth());
    const UINT height = static_cast<UINT>(image.pixelHeight);
    const D3DFORMAT format = static_cast<D3DFORMAT>(GetDX9Format(image.pixelFormat));
    const int64_t rowSize = static_cast<int64_t>(image.GetInternalPixelWidth()) * BytesPerTexel(image.pixelFormat);
    // A rowBytes of 0 (a fresh descriptor's) means rows of exactly the texture's width.
    const int64_t rowBytes = image.rowBytes == 0 ? rowSize : image.rowBytes;

    ComReference<IDirect3DTexture9> tempTexture;
    // Direct3D 9Ex builds the system-memory texture on the caller's pixels without a
    // copy, reading rows of exactly the texture's width: only when the host's rows are
    // laid out that way. Padded or short rows are copied row by row instead.
    if (_useEx && g_pd3dDeviceEx && rowBytes == rowSize) {
        void* cpuData = const_cast<void*>(data);
        DXFailed(g_pd3dDeviceEx->CreateTexture(width, height, 1, 0, format, D3DPOOL_SYSTEMMEM, tempTexture.Receive(),
                                               reinterpret_cast<HANDLE*>(&cpuData)),
                 L"deviceEx->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, 0, static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), D3DPOOL_SYSTEMMEM, &tempTexture, (HANDLE*)&cpuData)");
    } else {
        DXFailed(device->CreateTexture(width, height, 1, D3DUSAGE_DYNAMIC, format, D3DPOOL_SYSTEMMEM, tempTexture.Receive(), NULL),
                 L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, D3DUSAGE_DYNAMIC, static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), D3DPOOL_SYSTEMMEM, &tempTexture,NULL)");
        if (!tempTexture)
            return;
        D3DLOCKED_RECT lRect;
        if (DXFailed(tempTexture->LockRect(0, &lRect, NULL, D3DLOCK_DISCARD), L"tempTexture->LockRect(0,&lRect,NULL,D3DLOCK_DISCARD)"))
            return;
        // Row by row, `rowBytes` apart in the host's memory and a pitch apart in the
        // texture's: each row's own pixels and no more, so that the last row of a cropped
        // image (its pixels end its buffer) is not read past its end.
        if (rowBytes > 0)
            CopyRows(data, static_cast<size_t>(rowBytes), lRect.pBits, static_cast<size_t>(lRect.Pitch),
                     static_cast<size_t>(rowSize), height);
        else
            LogAlways(LogError, L"DX9ResTextureGPU(%X)::SetTextureData() - rowBytes=%d: nothing copied\n",
                      LogAddress(this), image.rowBytes);
        DXFailed(tempTexture->UnlockRect(0), L"tempTexture->UnlockRect(0)");
    }
    if (!tempTexture)
        return;
    ComReference<IDirect3DSurface9> sourcesurface;
    ComReference<IDirect3DSurface9> destsurface;
    DXFailed(tempTexture->GetSurfaceLevel(0, sourcesurface.Receive()), L"tempTexture->GetSurfaceLevel(0, &sourcesurface)");
    DXFailed(_texOb->GetSurfaceLevel(0, destsurface.Receive()), L"_texOb->GetSurfaceLevel(0, &destsurface)");
    if (sourcesurface && destsurface)
        DXFailed(device->UpdateSurface(sourcesurface.Get(), NULL, destsurface.Get(), NULL),
                 L"device->UpdateSurface(sourcesurface, NULL, destsurface, NULL)");
}

void DX9ResTextureGPU::TransferTo(boost::shared_ptr<IResource> destination)
{
    if (!destination)
        ThrowError(ecInvalidParameter);
    const ResourceType destinationType = destination->GetType();
    if (destinationType != rtTextureCPU && destinationType != rtTextureGPU)
        ThrowError(ecInvalidParameter);
    RenderAccess access(_settings.render);
    if (destinationType == rtTextureCPU)
        TransferToCPU(*destination, access.Device());
    else
        TransferToGPU(*destination, access.Device());
}

void DX9ResTextureGPU::TransferToCPU(IResource& destination, IDirect3DDevice9* device)
{
    SetState(rsTransferring);
    destination.SetState(rsTransferring);
    DX9ResTextureCPU* cpuTexture = dynamic_cast<DX9ResTextureCPU*>(&destination);
    if (_texOb && cpuTexture && cpuTexture->GetTextureObject()) {
        ComReference<IDirect3DSurface9> sourcesurface;
        ComReference<IDirect3DSurface9> destsurface;
        _texOb->GetSurfaceLevel(0, sourcesurface.Receive());
        cpuTexture->GetTextureObject()->GetSurfaceLevel(0, destsurface.Receive());
        if (sourcesurface && destsurface)
            DXFailed(device->GetRenderTargetData(sourcesurface.Get(), destsurface.Get()),
                     L"device->GetRenderTargetData(sourcesurface, destsurface)");
        cpuTexture->SetTag(GetTag());
    }
    SetState(rsReady);
    destination.SetState(rsReady);
}

void DX9ResTextureGPU::TransferToGPU(IResource& destination, IDirect3DDevice9* device)
{
    DX9ResTextureGPU* gpuTexture = dynamic_cast<DX9ResTextureGPU*>(&destination);
    if (!_texOb || !gpuTexture || !gpuTexture->_texOb)
        return;
    ComReference<IDirect3DSurface9> fromSurface(GetDeviceInterface());
    ComReference<IDirect3DSurface9> toSurface(gpuTexture->GetDeviceInterface());
    if (!fromSurface || !toSurface)
        return;
    D3DSURFACE_DESC from = {};
    D3DSURFACE_DESC to = {};
    fromSurface->GetDesc(&from);
    toSurface->GetDesc(&to);
    const D3DTEXTUREFILTERTYPE filter = D3DTEXF_LINEAR;
    LogIfActive(LogTextureTrace,
                L"DX9ResTextureGPU(%X)::TransferTo() - copying GPU to GPU (fromSurface=%X (%d, %d), toSurface=%X (%d, %d), filter=%d)\n",
                LogAddress(this), LogAddress(fromSurface.Get()), static_cast<int>(from.Width), static_cast<int>(from.Height),
                LogAddress(toSurface.Get()), static_cast<int>(to.Width), static_cast<int>(to.Height), static_cast<int>(filter));
    DXFailed(device->StretchRect(fromSurface.Get(), NULL, toSurface.Get(), NULL, filter),
             L"device->StretchRect(fromSurface, NULL, toSurface, NULL, filter)");
}
