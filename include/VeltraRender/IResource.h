#pragma once
// The resource and pipeline-state interfaces. Every table opens with the seven
// IResource operations; each family continues with its own, in the order below.
// Interfaces have no virtual destructor: objects are always deleted through their
// concrete type by the shared pointer that created them.

#include "ResourceHeader.h"

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <cstdint>
#include <string>

struct IDirect3DSurface9;

namespace VeltraRender {

class IRender;
struct ShaderValue;
struct ImageDescriptor;
struct TextureSettings;

class IResource {
public:
    // Copies the whole settings record, header included, into the caller's record,
    // which must be of the object's own kind (BufferSettings for a buffer, ...).
    virtual void GetSettings(ResourceHeader& settings) = 0;
    virtual ResourceState GetState() = 0;
    virtual void SetState(ResourceState state) = 0;
    virtual ResourceType GetType() = 0;
    virtual bool GetFlag() = 0;
    virtual void Destroy() = 0;
    virtual void TransferTo(boost::shared_ptr<IResource> destination) = 0;

protected:
    ~IResource() = default;
};

class IResourceGPU : public IResource {
public:
    virtual void SetSettings(boost::weak_ptr<IRender> render, const ResourceHeader& settings) = 0;
    virtual void Select(uint32_t hardwareUnit) = 0;
    virtual void Target(uint32_t unit) = 0;
    virtual void DeSelect(uint32_t hardwareUnit) = 0;

protected:
    ~IResourceGPU() = default;
};

class IResBufferGPU : public IResourceGPU {
public:
    virtual LockedMemory& Lock(LockedMemory& buffer) = 0;
    virtual void Unlock() = 0;
    virtual void SetBufferData(const void* data, uint32_t size, uint32_t offset) = 0;

protected:
    ~IResBufferGPU() = default;
};

class IResShaderGPU : public IResourceGPU {
public:
    virtual void SetVertexParameter(const std::string& name, const ShaderValue& value) = 0;
    virtual void SetPixelParameter(const std::string& name, const ShaderValue& value) = 0;

protected:
    ~IResShaderGPU() = default;
};

class IResTextureGPU : public IResourceGPU {
public:
    // Level 0 of the texture with a new reference that the caller releases; null without a texture.
    virtual IDirect3DSurface9* GetDeviceInterface() = 0;
    virtual int32_t GetIndex() = 0;
    virtual uint32_t IncrementCount() = 0;
    virtual uint32_t DecrementCount() = 0;
    virtual void SetTag(uint32_t tag) = 0;
    virtual uint32_t GetTag() = 0;
    virtual bool MatchesImage(const ImageDescriptor& image) = 0;
    virtual void SetClearColorEnabled(bool enabled) = 0;
    virtual bool GetClearColorEnabled() = 0;
    virtual void SetUserFlag(bool flag) = 0;
    virtual bool GetUserFlag() = 0;
    virtual void SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag) = 0;
    virtual bool SetTextureData(const void* data) = 0;

protected:
    ~IResTextureGPU() = default;
};

class IResourceCPU : public IResource {
protected:
    ~IResourceCPU() = default;
};

class IResTextureCPU : public IResourceCPU {
public:
    virtual void SetSettings(boost::weak_ptr<IRender> render, const TextureSettings& settings) = 0;
    virtual void SetSettingsFrom(const boost::shared_ptr<IResource>& source) = 0;
    virtual LockedMemory Lock() = 0;
    virtual void Unlock() = 0;
    virtual void SetTextureData(const void* data, uint32_t size, uint32_t offset) = 0;
    virtual void SetTag(uint32_t tag) = 0;
    virtual uint32_t GetTag() = 0;
    virtual bool MatchesImage(const ImageDescriptor& image) = 0;
    virtual void SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag) = 0;

protected:
    ~IResTextureCPU() = default;
};

class IState : public IResource {
public:
    virtual void ReplaceSettings(const ResourceHeader& settings) = 0;
    virtual void SetSettings(boost::weak_ptr<IRender> render, const ResourceHeader& settings) = 0;
    // previous: the state of the same kind last selected on this unit, possibly empty.
    virtual void Select(boost::shared_ptr<IState> previous, uint32_t hardwareUnit) = 0;

protected:
    ~IState() = default;
};

class IStateBlend : public IState {
protected:
    ~IStateBlend() = default;
};

class IStateDepth : public IState {
protected:
    ~IStateDepth() = default;
};

class IStateRaster : public IState {
protected:
    ~IStateRaster() = default;
};

class IStateStencil : public IState {
protected:
    ~IStateStencil() = default;
};

class IStateTexture : public IState {
protected:
    ~IStateTexture() = default;
};

} // namespace VeltraRender
