// Creation and destruction of resources and states, and the registry of what the
// render made. Everything here runs under s_deviceLock.

#include "RenderDX9.h"

#include "Registry.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/DX9ResBufferGPU.h"
#include "../resources/DX9ResShaderGPU.h"
#include "../resources/DX9ResTextureCPU.h"
#include "../resources/DX9ResTextureGPU.h"
#include "../resources/ResourceCommon.h"
#include "../states/DX9StateBlend.h"
#include "../states/DX9StateDepth.h"
#include "../states/DX9StateRaster.h"
#include "../states/DX9StateStencil.h"
#include "../states/DX9StateTexture.h"

#include <VeltraRender/BufferSettings.h>

using namespace Veltra;
using namespace VeltraRender;

namespace {

// The default quad: corners at +-0.5 facing +z, two triangles.
const float QuadPositions[] = {-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f, 0.5f, 0.5f, 0.0f, -0.5f, 0.5f, 0.0f};
const uint32_t QuadIndices[] = {0, 2, 3, 0, 1, 2};
const float QuadNormals[] = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f};

BufferSettings QuadBuffer(uint32_t kind, uint32_t components, int32_t count, const void* data)
{
    BufferSettings settings;
    settings.kind = kind;
    settings.components = components;
    settings.count = count;
    settings.data = data;
    return settings;
}

} // namespace

void RenderDX9::CreateDefaultQuad()
{
    _quadPositions = CreateResourceGPU(QuadBuffer(bkPositions, 3, 4, QuadPositions));
    _quadIndices = CreateResourceGPU(QuadBuffer(bkIndices, 0, 6, QuadIndices));
    _quadNormals = CreateResourceGPU(QuadBuffer(bkNormals, 3, 4, QuadNormals));
}

boost::shared_ptr<IResourceGPU> RenderDX9::CreateResourceGPU(const ResourceHeader& settings)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    boost::shared_ptr<IResourceGPU> resource;
    switch (settings.type) {
    case rtTextureGPU: {
        boost::shared_ptr<DX9ResTextureGPU> texture(new DX9ResTextureGPU());
        // The entry about to be appended: GetResourceGPU finds the texture there again.
        texture->SetIndex(static_cast<int32_t>(_resourcesGPU.size()));
        resource = texture;
        break;
    }
    case rtBufferGPU:
        resource = boost::shared_ptr<DX9ResBufferGPU>(new DX9ResBufferGPU());
        break;
    case rtShaderGPU:
        resource = boost::shared_ptr<DX9ResShaderGPU>(new DX9ResShaderGPU());
        break;
    default:
        ThrowError(ecInvalidParameter);
    }
    // The object is listed only once it has configured itself.
    resource->SetSettings(_weakSelf, settings);
    _resourcesGPU.push_back(resource);
    return resource;
}

boost::shared_ptr<IState> RenderDX9::CreateState(const ResourceHeader& settings)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    boost::shared_ptr<IState> state;
    switch (settings.type) {
    case rtStateRaster:
        state = boost::shared_ptr<DX9StateRaster>(new DX9StateRaster());
        break;
    case rtStateDepth:
        state = boost::shared_ptr<DX9StateDepth>(new DX9StateDepth());
        break;
    case rtStateStencil:
        state = boost::shared_ptr<DX9StateStencil>(new DX9StateStencil());
        break;
    case rtStateBlend:
        state = boost::shared_ptr<DX9StateBlend>(new DX9StateBlend());
        break;
    case rtStateTexture:
        state = boost::shared_ptr<DX9StateTexture>(new DX9StateTexture());
        break;
    default:
        ThrowError(ecInvalidParameter);
    }
    state->SetSettings(_weakSelf, settings);
    _states.push_back(state);
    return state;
}

boost::shared_ptr<IResourceCPU> RenderDX9::CreateResourceCPU(const ResourceHeader& settings)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    // A texture settings record of either kind serves.
    if (settings.type != rtTextureGPU && settings.type != rtTextureCPU)
        ThrowError(ecInvalidParameter);
    boost::shared_ptr<DX9ResTextureCPU> texture(new DX9ResTextureCPU());
    texture->SetSettings(_weakSelf, static_cast<const TextureSettings&>(settings));
    _resourcesCPU.push_back(texture);
    return texture;
}

boost::shared_ptr<IResourceCPU> RenderDX9::CreateResourceCPU(const boost::shared_ptr<IResource>& source)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    if (!source || source->GetType() != rtTextureGPU)
        ThrowError(ecInvalidParameter);
    boost::shared_ptr<DX9ResTextureCPU> texture(new DX9ResTextureCPU());
    texture->SetSettingsFrom(source);
    _resourcesCPU.push_back(texture);
    return texture;
}

void RenderDX9::DestroyResource(const boost::shared_ptr<IResource>& resource)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    if (!resource) {
        LogIfActive(LogError, L"RenderDX9::DestroyResource() - resource is null\n");
        return;
    }
    resource->Destroy();
    // The entry is emptied, not erased: the positions of the others stay.
    const IResource* object = resource.get();
    if (!Registry::EmptyEntryOf(_resourcesGPU, object) && !Registry::EmptyEntryOf(_states, object))
        Registry::EmptyEntryOf(_resourcesCPU, object);
}

void RenderDX9::DestroyResource(IResource* resource)
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    boost::shared_ptr<IResource> live = Registry::FindLive(_resourcesGPU, resource);
    if (!live)
        live = Registry::FindLive(_states, resource);
    if (!live)
        live = Registry::FindLive(_resourcesCPU, resource);
    if (live)
        DestroyResource(live);
}
