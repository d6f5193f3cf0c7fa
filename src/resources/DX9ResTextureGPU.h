#pragma once
// An image in video memory: one level of an IDirect3DTexture9 in D3DPOOL_DEFAULT on
// the shared device. It is sampled (Select), rendered into as render target 0
// (Target), uploaded into (SetTextureData) and copied into other textures or into
// system memory (TransferTo).

#include "ResourceCommon.h"

#include <VeltraRender/TextureSettings.h>

#include <d3d9.h>
#include <vector>

class DX9ResTextureGPU : public ResourceCommon<VeltraRender::IResTextureGPU, VeltraRender::TextureSettings> {
public:
    DX9ResTextureGPU();
    virtual ~DX9ResTextureGPU();

    DX9ResTextureGPU(const DX9ResTextureGPU&) = delete;
    DX9ResTextureGPU& operator=(const DX9ResTextureGPU&) = delete;

    void Destroy() override;
    void TransferTo(boost::shared_ptr<VeltraRender::IResource> destination) override;
    void SetSettings(boost::weak_ptr<VeltraRender::IRender> render, const VeltraRender::ResourceHeader& settings) override;
    void Select(uint32_t hardwareUnit) override;
    void Target(uint32_t unit) override;
    void DeSelect(uint32_t hardwareUnit) override;
    IDirect3DSurface9* GetDeviceInterface() override;
    int32_t GetIndex() override { return _index; }
    uint32_t IncrementCount() override { return ++_count; }
    uint32_t DecrementCount() override { return _count == 0 ? 0 : --_count; }
    void SetTag(uint32_t tag) override { _tag = tag; }
    uint32_t GetTag() override { return _tag; }
    bool MatchesImage(const VeltraRender::ImageDescriptor& image) override;
    void SetClearColorEnabled(bool enabled) override { _clearColorEnabled = enabled; }
    bool GetClearColorEnabled() override { return _clearColorEnabled; }
    void SetUserFlag(bool flag) override { _userFlag = flag; }
    bool GetUserFlag() override { return _userFlag; }
    void SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag) override;
    bool SetTextureData(const void* data) override;

    // The render sets the texture's position in its registry before SetSettings.
    void SetIndex(int32_t index) { _index = index; }
    IDirect3DTexture9* GetTextureObject() const { return _texOb; }

private:
    void TransferToCPU(VeltraRender::IResource& destination, IDirect3DDevice9* device);
    void TransferToGPU(VeltraRender::IResource& destination, IDirect3DDevice9* device);
    void UploadThroughSystemMemory(const void* data, IDirect3DDevice9* device);
    // Destruction's deselection: clears the sampler units and render target 0 only where
    // the device still holds this texture.
    void UnbindFromDevice();
    void UnbindFromSamplers(IDirect3DDevice9* device);
    void UnbindAsTarget(IDirect3DDevice9* device);

    uint32_t _selectCount = 0;
    std::vector<uint32_t> _selectedUnits;  // the units of the open selections
    uint32_t _targetCount = 0;
    int32_t _index = -1;
    uint32_t _count = 0;
    uint32_t _tag = 0;
    IDirect3DTexture9* _texOb = nullptr;
    IDirect3DSurface9* _textureRenderSurface = nullptr;  // level 0 while render target
    IDirect3DSurface9* _originalBackBuffer = nullptr;    // render target 0 before Target
    bool _useEx = false;
    bool _clearColorEnabled = true;
    bool _userFlag = false;
};
