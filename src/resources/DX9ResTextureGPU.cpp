#include "DX9ResTextureGPU.h"

#include "DeviceSlots.h"
#include "ErrorReporting.h"
#include "RenderAccess.h"
#include "RenderTargetChain.h"
#include "TextureFormat.h"

#include "../plugin/ModuleState.h"

#include <algorithm>

using namespace Veltra;
using namespace VeltraRender;

namespace {

// Releases one Direct3D object of the texture; a failure inside Release is reported
// and does not stop the release of the others.
template <typename Interface>
void ReleaseGuarded(Interface*& object, const void* owner, const wchar_t* notReleased, const wchar_t* caught,
                    ULONG expectedCount = 0)
{
    try {
        ReleaseOwned(object, owner, notReleased, expectedCount);
    } catch (...) {
        object = nullptr;
        LogAlways(LogError, caught, LogAddress(owner));
    }
}

} // namespace

DX9ResTextureGPU::DX9ResTextureGPU()
{
    _settings.reserved1 = 8;
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::DX9ResTextureGPU()\n", LogAddress(this));
}

DX9ResTextureGPU::~DX9ResTextureGPU()
{
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::~DX9ResTextureGPU()\n", LogAddress(this));
    // Without its render the texture cannot tell whether the device still exists, so it
    // leaves the Direct3D objects alone. Whatever it still holds goes, whatever its state
    // says (a host may have set it).
    RenderTargetChain::Leave(_textureRenderSurface);
    const bool holdsObjects = _texOb || _textureRenderSurface || _originalBackBuffer;
    if ((GetState() != rsDestroyed || holdsObjects) && !_settings.render.expired())
        Destroy();
}

void DX9ResTextureGPU::SetSettings(boost::weak_ptr<IRender> render, const ResourceHeader& settings)
{
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::SetSettings()\n", LogAddress(this));
    if (_texOb || _textureRenderSurface || _originalBackBuffer)
        Destroy();  // settings given again remake the texture: the objects it holds go first
    _settings = static_cast<const TextureSettings&>(settings);
    _settings.type = rtTextureGPU;
    _settings.render = render;
    RenderAccess access(_settings.render);
    _useEx = g_isD3D9Ex != 0;

    const ImageDescriptor& image = _settings.image;
    DXFailed(access.Device()->CreateTexture(static_cast<UINT>(image.GetInternalPixelWidth()),
                                            static_cast<UINT>(image.pixelHeight), 1, GpuTextureUsage(image.pixelFormat),
                                            static_cast<D3DFORMAT>(GetDX9Format(image.pixelFormat)), D3DPOOL_DEFAULT,
                                            &_texOb, NULL),
             L"device->CreateTexture(_settings.image.GetInternalPixelWidth(), _settings.image.pixelHeight,1, (_settings.image.pixelFormat == pfA8 ? D3DUSAGE_DYNAMIC : D3DUSAGE_RENDERTARGET), static_cast<D3DFORMAT>(GetDX9Format(_settings.image.pixelFormat)), D3DPOOL_DEFAULT, &_texOb,NULL)");
    if (!_texOb)
        ThrowError(ecOutOfMemory);
    if (_settings.data)
        SetTextureData(_settings.data);
    SetState(rsReady);
}

void DX9ResTextureGPU::Select(uint32_t hardwareUnit)
{
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::Select(%d)\n", LogAddress(this), static_cast<int>(hardwareUnit));
    RequireState(*this, {rsReady, rsCreated, rsSelected});
    if (!_texOb)
        ThrowError(ecOutOfMemory);
    RenderAccess access(_settings.render);
    DXFailed(access.Device()->SetTexture(hardwareUnit, _texOb), L"device->SetTexture(hardwareUnit, _texOb)");
    SetState(rsSelected);
    ++_selectCount;
    _selectedUnits.push_back(hardwareUnit);
}

void DX9ResTextureGPU::Target(uint32_t unit)
{
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::Target(%d)\n", LogAddress(this), static_cast<int>(unit));
    RequireState(*this, {rsReady, rsCreated, rsTargeted});
    if (!_texOb)
        ThrowError(ecOutOfMemory);
    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    SetState(rsTargeted);
    if (++_targetCount > 1) {
        // Nested: the render target saved by the first Target stays saved, so that the
        // last DeSelect restores what was current before the texture became the target.
        if (_textureRenderSurface)
            DXFailed(device->SetRenderTarget(0, _textureRenderSurface), L"device->SetRenderTarget(0,_textureRenderSurface)");
        return;
    }
    RenderTargetChain::Leave(_textureRenderSurface);
    ReleaseHeld(_textureRenderSurface);
    ReleaseHeld(_originalBackBuffer);
    DXFailed(_texOb->GetSurfaceLevel(0, &_textureRenderSurface), L"_texOb->GetSurfaceLevel(0,&_textureRenderSurface)");
    DXFailed(device->GetRenderTarget(0, &_originalBackBuffer), L"device->GetRenderTarget(0,&_originalBackBuffer)");
    RenderTargetChain::Join(_textureRenderSurface, _originalBackBuffer);
    if (_textureRenderSurface)
        DXFailed(device->SetRenderTarget(0, _textureRenderSurface), L"device->SetRenderTarget(0,_textureRenderSurface)");
}

void DX9ResTextureGPU::DeSelect(uint32_t hardwareUnit)
{
    const ResourceState state = GetState();
    if (state == rsSelected) {
        LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::DeSelect(%d)\n", LogAddress(this), static_cast<int>(hardwareUnit));
        RenderAccess access(_settings.render);
        if (_selectCount > 0)
            --_selectCount;
        const auto unit = std::find(_selectedUnits.begin(), _selectedUnits.end(), hardwareUnit);
        if (unit != _selectedUnits.end())
            _selectedUnits.erase(unit);
        DXFailed(access.Device()->SetTexture(hardwareUnit, NULL), L"device->SetTexture(hardwareUnit, NULL)");
        if (_selectCount == 0)
            SetState(rsReady);
    } else if (state == rsTargeted) {
        LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::DeSelect(%d) (target)\n", LogAddress(this),
                    static_cast<int>(hardwareUnit));
        if (_targetCount > 1) {
            --_targetCount;
            return;
        }
        RenderAccess access(_settings.render);
        RenderTargetChain::Leave(_textureRenderSurface);
        if (_originalBackBuffer) {
            DXFailed(access.Device()->SetRenderTarget(0, _originalBackBuffer), L"device->SetRenderTarget(0,_originalBackBuffer)");
            ReleaseHeld(_originalBackBuffer);
        }
        ReleaseHeld(_textureRenderSurface);
        _targetCount = 0;
        SetState(rsReady);
    }
}

IDirect3DSurface9* DX9ResTextureGPU::GetDeviceInterface()
{
    if (!_texOb)
        return nullptr;
    try {
        IDirect3DSurface9* surface = nullptr;
        _texOb->GetSurfaceLevel(0, &surface);
        return surface;
    } catch (...) {
        LogAlways(LogError, L"DX9ResTextureGPU(%X)::GetDeviceInterface() - caught exception\n", LogAddress(this));
        return nullptr;
    }
}

bool DX9ResTextureGPU::MatchesImage(const ImageDescriptor& image)
{
    return SameImage(image, _settings.image);
}

void DX9ResTextureGPU::SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag)
{
    SetExtras(_settings.image, first, second, third, flag);
}

void DX9ResTextureGPU::Destroy()
{
    // Unbinding reaches the device through the render. When the render is gone (a render
    // destroyed with the texture still bound destroys it on its way out), the objects are
    // released all the same: the device drops its own bindings.
    try {
        UnbindFromDevice();
    } catch (const boost::bad_weak_ptr&) {
    } catch (const VeltraException&) {
    }
    RenderTargetChain::Leave(_textureRenderSurface);
    ReleaseGuarded(_originalBackBuffer, this, L"DX9ResTextureGPU(%X)::Destroy() - BackBuffer Not Released, RefCount = %d\n",
                   L"DX9ResTextureGPU(%X)::Destroy() - exception caught releasing original back buffer\n");
    ReleaseGuarded(_textureRenderSurface, this,
                   L"DX9ResTextureGPU(%X)::Destroy() - RenderSurface Not Released, RefCount = %d\n",
                   L"DX9ResTextureGPU(%X)::Destroy() - exception caught releasing texture render surface\n",
                   _texOb ? 1u : 0u);
    ReleaseGuarded(_texOb, this, L"DX9ResTextureGPU(%X)::Destroy() - Texture Not Released, RefCount = %d\n",
                   L"DX9ResTextureGPU(%X)::Destroy() - exception caught releasing texture object\n");
    LogIfActive(LogTextureTrace, L"DX9ResTextureGPU(%X)::Destroy()\n", LogAddress(this));
    SetState(rsDestroyed);
}

void DX9ResTextureGPU::UnbindFromDevice()
{
    if (_selectedUnits.empty() && !_textureRenderSurface)
        return;
    RenderAccess access(_settings.render);
    UnbindFromSamplers(access.Device());
    UnbindAsTarget(access.Device());
}

void DX9ResTextureGPU::UnbindFromSamplers(IDirect3DDevice9* device)
{
    // A unit selected twice is asked twice: the second time it no longer holds this texture.
    for (uint32_t hardwareUnit : _selectedUnits) {
        ComReference<IDirect3DBaseTexture9> bound;
        if (DeviceHolds(device->GetTexture(hardwareUnit, bound.Receive()), bound, _texOb,
                        L"device->GetTexture(hardwareUnit, &texture)"))
            DXFailed(device->SetTexture(hardwareUnit, NULL), L"device->SetTexture(hardwareUnit, NULL)");
    }
    _selectedUnits.clear();
    _selectCount = 0;
}

// The render target in force before this texture's first Target goes back only while
// the texture is still the target. Otherwise a texture targeted since is the target, and
// it will put back, when it is deselected, what this texture had saved.
void DX9ResTextureGPU::UnbindAsTarget(IDirect3DDevice9* device)
{
    if (!_textureRenderSurface)
        return;
    ComReference<IDirect3DSurface9> current;
    if (DeviceHolds(device->GetRenderTarget(0, current.Receive()), current, _textureRenderSurface,
                    L"device->GetRenderTarget(0,&renderTarget)")) {
        if (_originalBackBuffer)
            DXFailed(device->SetRenderTarget(0, _originalBackBuffer), L"device->SetRenderTarget(0,_originalBackBuffer)");
    } else {
        RenderTargetChain::HandOver(_textureRenderSurface, _originalBackBuffer);
    }
    ReleaseHeld(_originalBackBuffer);  // as a deselection lets it go
    _targetCount = 0;
}
