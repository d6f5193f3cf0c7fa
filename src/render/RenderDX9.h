#pragma once
// The plug-in's render device: every RenderDX9 of the process draws with the one
// shared Direct3D 9 device and adds its own display swap chain, registry of the
// objects it created, binding state, projection and default quad.

#include "Projection.h"

#include <VeltraRender/IRender.h>

#include <d3d9.h>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <vector>

class DX9ResBufferGPU;

// A vertex buffer selected for the next draw, with its vertex element. Only the
// plug-in's own buffers have records: only they have a Direct3D buffer to stream.
struct BufferRecord {
    boost::shared_ptr<DX9ResBufferGPU> buffer;
    D3DVERTEXELEMENT9 element;
};

class RenderDX9 : public VeltraRender::IRender {
public:
    RenderDX9();
    ~RenderDX9() override;

    RenderDX9(const RenderDX9&) = delete;
    RenderDX9& operator=(const RenderDX9&) = delete;

    bool Initialize(boost::weak_ptr<VeltraRender::IRender> self, VeltraRender::RenderSettings& settings) override;
    bool Shutdown() override;
    void ReleaseExtraMemory() override;
    bool CheckRender() override;
    void GetRenderInfo(VeltraRender::RenderInfo* info) override;
    void GetRenderSettings(VeltraRender::RenderSettings* settings) override;

    boost::shared_ptr<VeltraRender::IResourceGPU> CreateResourceGPU(const VeltraRender::ResourceHeader& settings) override;
    boost::shared_ptr<VeltraRender::IState> CreateState(const VeltraRender::ResourceHeader& settings) override;
    boost::shared_ptr<VeltraRender::IResourceCPU> CreateResourceCPU(const VeltraRender::ResourceHeader& settings) override;
    boost::shared_ptr<VeltraRender::IResourceCPU> CreateResourceCPU(
        const boost::shared_ptr<VeltraRender::IResource>& source) override;
    void DestroyResource(VeltraRender::IResource* resource) override;
    void DestroyResource(const boost::shared_ptr<VeltraRender::IResource>& resource) override;
    VeltraRender::LockedMemory LockResource(boost::shared_ptr<VeltraRender::IResource> resource) override;
    void UnlockResource(boost::shared_ptr<VeltraRender::IResource> resource) override;
    void SetResourceData(const void* data, boost::shared_ptr<VeltraRender::IResource> resource) override;
    void TransferResource(boost::shared_ptr<VeltraRender::IResource> source,
                          boost::shared_ptr<VeltraRender::IResource> destination) override;

    void SelectResource(boost::shared_ptr<VeltraRender::IResourceGPU> resource, uint32_t hardwareUnit) override;
    void TargetResource(boost::shared_ptr<VeltraRender::IResourceGPU> target, uint32_t unit) override;
    void DeSelectResource(boost::shared_ptr<VeltraRender::IResourceGPU> resource, uint32_t hardwareUnit) override;
    void SelectState(boost::shared_ptr<VeltraRender::IState> state, int32_t unit) override;

    void Draw() override;
    void DrawQuad() override;
    void Clear(uint8_t clearMask) override;
    bool Flush(bool wait) override;

    bool DisplayBuffer(boost::shared_ptr<VeltraRender::IResourceGPU> source, uint32_t eye) override;
    void ChangeRenderWindow(HWND window, uint32_t, uint32_t, uint32_t, uint32_t) override;

    IDirect3DDevice9* GetDevice() override;
    boost::shared_ptr<VeltraRender::IResourceGPU> GetResourceGPU(int32_t position) override;
    bool QueryFlag() override;
    int32_t GetShaderLevel() override;
    void StampStereoSignature(boost::shared_ptr<VeltraRender::IResourceGPU> target) override;

    // Largest anisotropy the shared device supports.
    uint32_t LimitMaxAnisotropy() const;

private:
    void CreateSwapChain();
    void CreateDefaultQuad();
    // Sorts the selected vertex buffers into streams and binds them, their vertex
    // declaration and the index buffer.
    void PrepareStreams(const wchar_t* streamSourceText);
    // Says once, at level 2, when the default quad is drawn under Direct3D's default
    // culling because no raster state was selected: it draws nothing then.
    void HintWhenTheQuadIsCulled();
    // False, with a level-1 line, when there is no shared device to draw with.
    bool DeviceForDrawing(const wchar_t* operation);
    void SelectEye(uint32_t eye);
    // Scales the source texture onto the swap chain's back buffer; false when either
    // surface is missing.
    bool CopyToBackBuffer(const boost::shared_ptr<VeltraRender::IResourceGPU>& source);
    void DestroyRegisteredObjects();

    VeltraRender::RenderSettings _settings;
    boost::shared_ptr<VeltraRender::IResourceGPU> _quadPositions;
    boost::shared_ptr<VeltraRender::IResourceGPU> _quadIndices;
    boost::shared_ptr<VeltraRender::IResourceGPU> _quadNormals;
    HWND _hDisplayWnd = nullptr;
    D3DPRESENT_PARAMETERS _displayD3dpp;
    IDirect3DSwapChain9* _pd3dSwapChain = nullptr;
    bool _useStereo = false;
    std::vector<boost::weak_ptr<VeltraRender::IResourceGPU>> _resourcesGPU;
    std::vector<boost::weak_ptr<VeltraRender::IState>> _states;
    std::vector<boost::weak_ptr<VeltraRender::IResourceCPU>> _resourcesCPU;
    Matrix4 _modelViewProjection = Matrix4::Identity();
    bool _initialized = false;
    boost::weak_ptr<VeltraRender::IRender> _weakSelf;
    uint8_t _pendingClearMask = 0;
    std::vector<D3DVERTEXELEMENT9> _currentVertexElements;
    std::vector<BufferRecord> _currentBufferData;
    boost::shared_ptr<VeltraRender::IResourceGPU> _currentIndexBuffer;
    boost::shared_ptr<VeltraRender::IResourceGPU> _currentShader;
    boost::shared_ptr<VeltraRender::IResourceGPU> _currentRenderTarget;
    // State kind x unit. Keeps the states this render selected alive while they may still
    // be in force on the device; the predecessor a new state compares itself with is the
    // device's (DeviceStates), which another render may have changed.
    boost::shared_ptr<VeltraRender::IState> _currentStates[5][8];
    uint32_t _createThreadId = 0;
    bool _quadCullHintGiven = false;
    IDirect3DTexture9* _stereoSignatureTexture = nullptr;
};
