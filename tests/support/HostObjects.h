// Objects a host may make itself and hand the plug-in where it expects its own: a GPU texture
// without a surface, a state of any type code.
#pragma once

#include <VeltraRender/VeltraRender.h>

template <class Interface> class HostObject : public Interface {
public:
    void GetSettings(VeltraRender::ResourceHeader&) override {}
    VeltraRender::ResourceState GetState() override { return VeltraRender::rsReady; }
    void SetState(VeltraRender::ResourceState) override {}
    bool GetFlag() override { return false; }
    void Destroy() override {}
    void TransferTo(boost::shared_ptr<VeltraRender::IResource>) override {}
    void SetSettings(boost::weak_ptr<VeltraRender::IRender>, const VeltraRender::ResourceHeader&) override {}
};

class HostTexture : public HostObject<VeltraRender::IResTextureGPU> {
public:
    VeltraRender::ResourceType GetType() override { return VeltraRender::rtTextureGPU; }
    void Select(uint32_t) override {}
    void Target(uint32_t) override {}
    void DeSelect(uint32_t) override {}
    IDirect3DSurface9* GetDeviceInterface() override { return nullptr; }
    int32_t GetIndex() override { return -1; }
    uint32_t IncrementCount() override { return 0; }
    uint32_t DecrementCount() override { return 0; }
    void SetTag(uint32_t) override {}
    uint32_t GetTag() override { return 0; }
    bool MatchesImage(const VeltraRender::ImageDescriptor&) override { return false; }
    void SetClearColorEnabled(bool) override {}
    bool GetClearColorEnabled() override { return true; }
    void SetUserFlag(bool) override {}
    bool GetUserFlag() override { return false; }
    void SetImageExtras(uint32_t, uint32_t, uint32_t, bool) override {}
    bool SetTextureData(const void*) override { return true; }
};

class HostState : public HostObject<VeltraRender::IState> {
public:
    explicit HostState(uint32_t type) : _type(type) {}
    VeltraRender::ResourceType GetType() override { return static_cast<VeltraRender::ResourceType>(_type); }
    void ReplaceSettings(const VeltraRender::ResourceHeader&) override {}
    void Select(boost::shared_ptr<VeltraRender::IState>, uint32_t) override {}

private:
    uint32_t _type;
};
