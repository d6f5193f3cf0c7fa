#include "DX9ResTextureCPU.h"

#include "ComReference.h"
#include "DX9ResTextureGPU.h"
#include "ErrorReporting.h"
#include "PixelRows.h"
#include "RenderAccess.h"
#include "TextureFormat.h"

#include <cstring>

using namespace Veltra;
using namespace VeltraRender;

DX9ResTextureCPU::DX9ResTextureCPU()
{
    _settings.reserved1 = 8;
}

DX9ResTextureCPU::~DX9ResTextureCPU()
{
    // A copy of a destroyed GPU texture starts in rsDestroyed but holds a texture.
    if ((GetState() != rsDestroyed || _texOb) && !_settings.render.expired())
        Destroy();
}

uint32_t DX9ResTextureCPU::RowSize() const
{
    const int32_t width = _settings.image.GetInternalPixelWidth();
    return width > 0 ? static_cast<uint32_t>(width) * BytesPerTexel(_settings.image.pixelFormat) : 0;
}

void DX9ResTextureCPU::CreateTexture(const wchar_t* callText)
{
    ReleaseHeld(_texOb);  // settings given again remake the texture: the one it holds goes first
    RenderAccess access(_settings.render);
    const ImageDescriptor& image = _settings.image;
    DXFailed(access.Device()->CreateTexture(static_cast<UINT>(image.GetInternalPixelWidth()),
                                            static_cast<UINT>(image.pixelHeight), 1, D3DUSAGE_DYNAMIC,
                                            static_cast<D3DFORMAT>(GetDX9Format(image.pixelFormat)), D3DPOOL_SYSTEMMEM,
                                            &_texOb, NULL),
             callText);
}

// Copies the settings' initial pixels into the pitch-spaced rows of the texture. The
// host's rows are `rowBytes` apart (0: exactly a row of the texture); no more than a row
// of either side is read or written.
void DX9ResTextureCPU::FillFromSettingsData()
{
    D3DLOCKED_RECT lRect;
    if (DXFailed(_texOb->LockRect(0, &lRect, NULL, D3DLOCK_DISCARD), L"_texOb->LockRect(0,&lRect,NULL,D3DLOCK_DISCARD)"))
        return;
    const int64_t rowBytes = _settings.image.rowBytes == 0 ? RowSize() : _settings.image.rowBytes;
    if (_settings.data && lRect.pBits && _settings.image.pixelHeight >= 1) {
        if (rowBytes > 0)
            CopyRows(_settings.data, static_cast<size_t>(rowBytes), lRect.pBits, static_cast<size_t>(lRect.Pitch),
                     RowSize(), static_cast<size_t>(_settings.image.pixelHeight));
        else
            LogAlways(LogError, L"DX9ResTextureCPU(%X) - rowBytes=%d: no initial pixels copied\n", LogAddress(this),
                      _settings.image.rowBytes);
    }
    DXFailed(_texOb->UnlockRect(0), L"_texOb->UnlockRect(0)");
}

void DX9ResTextureCPU::SetSettings(boost::weak_ptr<IRender> render, const TextureSettings& settings)
{
    _settings = settings;
    _settings.type = rtTextureCPU;
    _settings.render = render;
    CreateTexture(L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight, 1, D3DUSAGE_DYNAMIC, GetDX9Format(_settings.image.pixelFormat), D3DPOOL_SYSTEMMEM, &_texOb,NULL)");
    if (!_texOb)
        ThrowError(ecOutOfMemory);
    FillFromSettingsData();
}

void DX9ResTextureCPU::SetSettingsFrom(const boost::shared_ptr<IResource>& source)
{
    // Only a GPU texture's settings record is a TextureSettings.
    if (!source || source->GetType() != rtTextureGPU)
        ThrowError(ecInvalidParameter);
    source->GetSettings(_settings);
    _settings.type = rtTextureCPU;
    CreateTexture(L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight,1,D3DUSAGE_DYNAMIC, GetDX9Format(_settings.image.pixelFormat), D3DPOOL_SYSTEMMEM, &_texOb,NULL)");
    if (_texOb)
        FillFromSettingsData();
}

LockedMemory DX9ResTextureCPU::Lock()
{
    LockedMemory result;
    SetState(rsLocked);
    if (!_texOb)
        return result;
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::Lock() - texOb=%X\n", LogAddress(this), LogAddress(_texOb));
    D3DLOCKED_RECT lRect;
    const HRESULT hr = _texOb->LockRect(0, &lRect, NULL, D3DLOCK_DISCARD);
    if (SUCCEEDED(hr)) {
        result.pitch = static_cast<uint32_t>(lRect.Pitch);
        result.bits = lRect.pBits;
        LogIfActive(LogTextureTrace, L" - ok, memPtr=%X\n", LogAddress(lRect.pBits));
    } else {
        LogIfActive(LogTextureTrace, L" - FAILED!!!!!!!!!!!, hr=%X\n", static_cast<unsigned int>(hr));
    }
    return result;
}

void DX9ResTextureCPU::Unlock()
{
    if (_texOb) {
        LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::Unlock() - texOb=%X\n", LogAddress(this), LogAddress(_texOb));
        const HRESULT hr = _texOb->UnlockRect(0);
        if (FAILED(hr))
            LogIfActive(LogTextureTrace, L" - FAILED!!!!!!, hr=%X\n", static_cast<unsigned int>(hr));
        else
            LogIfActive(LogTextureTrace, L" - ok\n");
    }
    SetState(rsReady);
}

void DX9ResTextureCPU::SetTextureData(const void* data, uint32_t size, uint32_t offset)
{
    LockedMemory locked = Lock();
    if (locked.bits) {
        const uint64_t lockedBytes = static_cast<uint64_t>(locked.pitch) *
                                     static_cast<uint64_t>(_settings.image.pixelHeight > 0 ? _settings.image.pixelHeight : 0);
        if (!data) {
            LogAlways(LogError, L"DX9ResTextureCPU(%X)::SetTextureData() - no data: nothing copied\n", LogAddress(this));
        } else if (size == 0) {
            // The whole image: its rows, one after another, into the texture's rows,
            // the first at `offset`.
            const uint64_t rows = static_cast<uint64_t>(_settings.image.pixelHeight > 0 ? _settings.image.pixelHeight : 0);
            const uint64_t lastRowEnd = rows == 0 ? 0 : offset + (rows - 1) * locked.pitch + RowSize();
            if (lastRowEnd > lockedBytes)
                LogAlways(LogError,
                          L"DX9ResTextureCPU(%X)::SetTextureData() - the image at offset %u does not fit in %u bytes: "
                          L"nothing copied\n",
                          LogAddress(this), offset, static_cast<unsigned int>(lockedBytes));
            else
                CopyRows(data, RowSize(), static_cast<uint8_t*>(locked.bits) + offset, locked.pitch, RowSize(),
                         static_cast<size_t>(rows));
        } else if (static_cast<uint64_t>(offset) + size > lockedBytes) {
            LogAlways(LogError,
                      L"DX9ResTextureCPU(%X)::SetTextureData() - %u bytes at offset %u do not fit in %u bytes: nothing copied\n",
                      LogAddress(this), size, offset, static_cast<unsigned int>(lockedBytes));
        } else {
            std::memcpy(static_cast<uint8_t*>(locked.bits) + offset, data, size);
        }
    }
    Unlock();
}

void DX9ResTextureCPU::TransferTo(boost::shared_ptr<IResource> destination)
{
    if (!destination || destination->GetType() != rtTextureGPU)
        ThrowError(ecInvalidParameter);
    RequireState(*destination, {rsReady, rsCreated});
    RequireState(*this, {rsReady, rsCreated});
    RenderAccess access(_settings.render);
    SetState(rsTransferring);
    destination->SetState(rsTransferring);
    DX9ResTextureGPU* toTex = dynamic_cast<DX9ResTextureGPU*>(destination.get());
    if (_texOb && toTex && toTex->GetTextureObject()) {
        ComReference<IDirect3DSurface9> sourcesurface;
        ComReference<IDirect3DSurface9> destsurface;
        DXFailed(_texOb->GetSurfaceLevel(0, sourcesurface.Receive()), L"_texOb->GetSurfaceLevel(0, &sourcesurface)");
        DXFailed(toTex->GetTextureObject()->GetSurfaceLevel(0, destsurface.Receive()),
                 L"toTex->GetTextureObject()->GetSurfaceLevel(0, &destsurface)");
        if (sourcesurface && destsurface)
            DXFailed(access.Device()->UpdateSurface(sourcesurface.Get(), NULL, destsurface.Get(), NULL),
                     L"device->UpdateSurface(sourcesurface, NULL, destsurface, NULL)");
        toTex->SetTag(GetTag());
    }
    SetState(rsReady);
    destination->SetState(rsReady);
}

bool DX9ResTextureCPU::MatchesImage(const ImageDescriptor& image)
{
    return SameImage(image, _settings.image);
}

void DX9ResTextureCPU::SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag)
{
    SetExtras(_settings.image, first, second, third, flag);
}

void DX9ResTextureCPU::Destroy()
{
    SetState(rsDestroyed);
    ReleaseOwned(_texOb, this, L"DX9ResTextureCPU(%X)::Destroy() - Texture Not Released, RefCount = %d\n");
}
