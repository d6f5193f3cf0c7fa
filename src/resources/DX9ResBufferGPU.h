#pragma once
// One Direct3D 9 buffer in video memory: a vertex buffer holding one attribute
// (positions, normals or texture coordinates) or an index buffer of triangle-list
// indices. Callers write 32-bit data; on devices that address only 16-bit indices the
// buffer stores 16-bit indices and converts them on Unlock.

#include "ResourceCommon.h"

#include <VeltraRender/BufferSettings.h>

#include <d3d9.h>
#include <vector>

class DX9ResBufferGPU : public ResourceCommon<VeltraRender::IResBufferGPU, VeltraRender::BufferSettings> {
public:
    DX9ResBufferGPU() = default;
    virtual ~DX9ResBufferGPU();

    DX9ResBufferGPU(const DX9ResBufferGPU&) = delete;
    DX9ResBufferGPU& operator=(const DX9ResBufferGPU&) = delete;

    void Destroy() override;
    void TransferTo(boost::shared_ptr<VeltraRender::IResource> destination) override;
    void SetSettings(boost::weak_ptr<VeltraRender::IRender> render, const VeltraRender::ResourceHeader& settings) override;
    void Select(uint32_t hardwareUnit) override;
    void Target(uint32_t unit) override;
    void DeSelect(uint32_t hardwareUnit) override;
    VeltraRender::LockedMemory& Lock(VeltraRender::LockedMemory& buffer) override;
    void Unlock() override;
    void SetBufferData(const void* data, uint32_t size, uint32_t offset) override;

    // The plug-in's own buffer behind an interface pointer; null for anything else (a
    // host may hand in an object of its own). A type comparison rather than a dynamic
    // cast: every select, draw and deselect asks it.
    static DX9ResBufferGPU* Of(VeltraRender::IResource* resource);

    // Used by the render when it draws.
    bool IsIndexBuffer() const { return _settings.kind == VeltraRender::bkIndices; }
    int32_t Count() const { return _settings.count; }
    IDirect3DVertexBuffer9* GetBuffer() const { return _buffer; }
    IDirect3DIndexBuffer9* GetIndexBuffer() const { return _indexbuffer; }
    uint32_t GetSizeElement() const;
    DWORD GetFVF() const;
    D3DVERTEXELEMENT9 GetVertexElement(uint8_t usageIndex);

private:
    bool HoldsStagedIndices() const { return IsIndexBuffer() && _use16BitIndices; }
    // Bytes of the caller's 32-bit data: 0 for a count of 0 or less.
    uint64_t DataSize() const;
    // Bytes the caller may write through the memory that Lock hands out.
    uint64_t WritableBytes() const;

    uint32_t _selectCount = 0;
    D3DVERTEXELEMENT9 _vertexElement = {};
    IDirect3DVertexBuffer9* _buffer = nullptr;
    IDirect3DIndexBuffer9* _indexbuffer = nullptr;
    bool _use16BitIndices = false;
    std::vector<uint32_t> _stagingIndices;    // the caller's 32-bit indices of a 16-bit buffer, kept between locks
    uint16_t* _tempUShortBuffer = nullptr;    // the locked Direct3D memory of a 16-bit buffer
};

// Values per element of a `components` setting: 0 and anything outside 1..4 count as 1.
uint32_t ComponentCount(uint32_t components);
