#pragma once
// An image in system memory that the host reads and writes directly: one level of a
// dynamic IDirect3DTexture9 in D3DPOOL_SYSTEMMEM. It is the staging end of uploads
// (TransferTo a GPU texture) and of read-backs (a GPU texture's TransferTo this one).
// Its table has no destructor slot: it is always deleted as this final class.

#include "ResourceCommon.h"

#include <VeltraRender/TextureSettings.h>

#include <d3d9.h>

class DX9ResTextureCPU final
    : public ResourceCommon<VeltraRender::IResTextureCPU, VeltraRender::TextureSettings> {
public:
    DX9ResTextureCPU();
    ~DX9ResTextureCPU();

    DX9ResTextureCPU(const DX9ResTextureCPU&) = delete;
    DX9ResTextureCPU& operator=(const DX9ResTextureCPU&) = delete;

    void Destroy() override;
    void TransferTo(boost::shared_ptr<VeltraRender::IResource> destination) override;
    void SetSettings(boost::weak_ptr<VeltraRender::IRender> render, const VeltraRender::TextureSettings& settings) override;
    void SetSettingsFrom(const boost::shared_ptr<VeltraRender::IResource>& source) override;
    VeltraRender::LockedMemory Lock() override;
    void Unlock() override;
    void SetTextureData(const void* data, uint32_t size, uint32_t offset) override;
    void SetTag(uint32_t tag) override { _tag = tag; }
    uint32_t GetTag() override { return _tag; }
    bool MatchesImage(const VeltraRender::ImageDescriptor& image) override;
    void SetImageExtras(uint32_t first, uint32_t second, uint32_t third, bool flag) override;

    IDirect3DTexture9* GetTextureObject() const { return _texOb; }

private:
    void CreateTexture(const wchar_t* callText);
    void FillFromSettingsData();
    uint32_t RowSize() const;

    uint32_t _tag = 0;
    IDirect3DTexture9* _texOb = nullptr;
};
