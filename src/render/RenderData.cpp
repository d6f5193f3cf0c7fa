// Locking, filling and copying resources for the host. These take no lock: the
// shared device is multithreaded and the host uses one resource from one thread.

#include "RenderDX9.h"

#include "../resources/ResourceCommon.h"

using namespace Veltra;
using namespace VeltraRender;

namespace {

// The resource as the interface its type code promises, or ecInvalidParameter.
template <typename Interface>
boost::shared_ptr<Interface> As(const boost::shared_ptr<IResource>& resource)
{
    boost::shared_ptr<Interface> typed = boost::dynamic_pointer_cast<Interface>(resource);
    if (!typed)
        ThrowError(ecInvalidParameter);
    return typed;
}

ResourceType TypeOf(const boost::shared_ptr<IResource>& resource)
{
    if (!resource)
        ThrowError(ecInvalidParameter);
    return resource->GetType();
}

} // namespace

LockedMemory RenderDX9::LockResource(boost::shared_ptr<IResource> resource)
{
    switch (TypeOf(resource)) {
    case rtTextureCPU:
        return As<IResTextureCPU>(resource)->Lock();
    case rtBufferGPU: {
        LockedMemory locked;
        return As<IResBufferGPU>(resource)->Lock(locked);
    }
    default:
        ThrowError(ecInvalidParameter);
    }
}

void RenderDX9::UnlockResource(boost::shared_ptr<IResource> resource)
{
    switch (TypeOf(resource)) {
    case rtTextureCPU:
        As<IResTextureCPU>(resource)->Unlock();
        break;
    case rtBufferGPU:
        As<IResBufferGPU>(resource)->Unlock();
        break;
    default:
        ThrowError(ecInvalidParameter);
    }
}

void RenderDX9::SetResourceData(const void* data, boost::shared_ptr<IResource> resource)
{
    // A lost device takes no data; the host finds out through CheckRender itself.
    if (!resource || !CheckRender())
        return;
    switch (resource->GetType()) {
    case rtBufferGPU:
        As<IResBufferGPU>(resource)->SetBufferData(data, 0, 0);  // size 0: the whole buffer
        break;
    case rtTextureCPU:
        As<IResTextureCPU>(resource)->SetTextureData(data, 0, 0);
        break;
    case rtTextureGPU:
        As<IResTextureGPU>(resource)->SetTextureData(data);
        break;
    default:
        break;
    }
}

void RenderDX9::TransferResource(boost::shared_ptr<IResource> source, boost::shared_ptr<IResource> destination)
{
    if (!source)
        ThrowError(ecInvalidParameter);
    source->TransferTo(destination);
}
