#pragma once
// The host's render device interface. The host calls a render only through these
// virtual operations; their order is the slot order of the table.

#include "IResource.h"
#include "RenderInfo.h"
#include "RenderSettings.h"
#include "ResourceHeader.h"

#include <windows.h>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <cstdint>

struct IDirect3DDevice9;

// windows.h defines UnlockResource as an obsolete 16-bit macro that would rewrite
// the slot of the same name below.
#ifdef UnlockResource
#undef UnlockResource
#endif

namespace VeltraRender {

class IRender {
public:
    // Lifecycle (slots 0-5)
    virtual bool Initialize(boost::weak_ptr<IRender> self, RenderSettings& settings) = 0;
    virtual bool Shutdown() = 0;
    virtual void ReleaseExtraMemory() = 0;
    virtual bool CheckRender() = 0;
    virtual void GetRenderInfo(RenderInfo* info) = 0;
    virtual void GetRenderSettings(RenderSettings* settings) = 0;

    // Creation and data (slots 6-15)
    virtual boost::shared_ptr<IResourceGPU> CreateResourceGPU(const ResourceHeader& settings) = 0;
    virtual boost::shared_ptr<IState> CreateState(const ResourceHeader& settings) = 0;
    virtual boost::shared_ptr<IResourceCPU> CreateResourceCPU(const ResourceHeader& settings) = 0;
    virtual boost::shared_ptr<IResourceCPU> CreateResourceCPU(const boost::shared_ptr<IResource>& source) = 0;
    virtual void DestroyResource(IResource* resource) = 0;
    virtual void DestroyResource(const boost::shared_ptr<IResource>& resource) = 0;
    virtual LockedMemory LockResource(boost::shared_ptr<IResource> resource) = 0;
    virtual void UnlockResource(boost::shared_ptr<IResource> resource) = 0;
    virtual void SetResourceData(const void* data, boost::shared_ptr<IResource> resource) = 0;
    virtual void TransferResource(boost::shared_ptr<IResource> source, boost::shared_ptr<IResource> destination) = 0;

    // Binding (slots 16-19)
    virtual void SelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit) = 0;
    virtual void TargetResource(boost::shared_ptr<IResourceGPU> target, uint32_t unit) = 0;
    virtual void DeSelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit) = 0;
    virtual void SelectState(boost::shared_ptr<IState> state, int32_t unit) = 0;

    // Drawing (slots 20-23)
    virtual void Draw() = 0;
    virtual void DrawQuad() = 0;
    virtual void Clear(uint8_t clearMask) = 0;
    virtual bool Flush(bool wait) = 0;

    // Display (slots 24-25); the four values after the window are ignored.
    virtual bool DisplayBuffer(boost::shared_ptr<IResourceGPU> source, uint32_t eye) = 0;
    virtual void ChangeRenderWindow(HWND window, uint32_t, uint32_t, uint32_t, uint32_t) = 0;

    // Queries (slots 26-30)
    virtual IDirect3DDevice9* GetDevice() = 0;
    virtual boost::shared_ptr<IResourceGPU> GetResourceGPU(int32_t position) = 0;
    virtual bool QueryFlag() = 0;
    virtual int32_t GetShaderLevel() = 0;
    virtual void StampStereoSignature(boost::shared_ptr<IResourceGPU> target) = 0;

    // Slot 31
    virtual ~IRender() {}
};

} // namespace VeltraRender
