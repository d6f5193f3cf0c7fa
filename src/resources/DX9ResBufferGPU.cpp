#include "DX9ResBufferGPU.h"

#include "ErrorReporting.h"
#include "RenderAccess.h"

#include "../plugin/ModuleState.h"

#include <cstring>
#include <typeinfo>

using namespace Veltra;
using namespace VeltraRender;

DX9ResBufferGPU* DX9ResBufferGPU::Of(IResource* resource)
{
    return resource && typeid(*resource) == typeid(DX9ResBufferGPU) ? static_cast<DX9ResBufferGPU*>(resource) : nullptr;
}

DX9ResBufferGPU::~DX9ResBufferGPU()
{
    // Without its render the buffer cannot tell whether the device still exists,
    // so it leaves the Direct3D objects alone.
    if ((GetState() != rsDestroyed || _buffer || _indexbuffer) && !_settings.render.expired())
        Destroy();
}

void DX9ResBufferGPU::SetSettings(boost::weak_ptr<IRender> render, const ResourceHeader& settings)
{
    if (_buffer || _indexbuffer)
        Destroy();  // settings given again remake the buffer: the one it holds goes first
    _settings = static_cast<const BufferSettings&>(settings);
    _settings.render = render;
    RenderAccess access(_settings.render);

    _use16BitIndices = g_use16BitIndices != 0;
    if (_settings.elementBytes == 0)
        _settings.elementBytes = GetSizeElement();
    const uint64_t bytes = DataSize();
    IDirect3DDevice9* device = access.Device();
    if (bytes > UINT32_MAX) {
        LogAlways(LogError, L"DX9ResBufferGPU(%X)::SetSettings() - %d elements do not fit in a Direct3D buffer: none made\n",
                  LogAddress(this), _settings.count);
        return;
    }
    const UINT dataSize = static_cast<UINT>(bytes);

    switch (_settings.kind) {
    case bkPositions:
    case bkNormals:
    case bkTexCoords:
    case bkTexCoordsSized:
        DXFailed(device->CreateVertexBuffer(dataSize, D3DUSAGE_WRITEONLY, GetFVF(), D3DPOOL_DEFAULT, &_buffer, NULL),
                 L"device->CreateVertexBuffer(dataSize, D3DUSAGE_WRITEONLY, GetFVF(), D3DPOOL_DEFAULT, &_buffer, NULL)");
        break;
    case bkIndices:
        if (_use16BitIndices)
            DXFailed(device->CreateIndexBuffer(dataSize / 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                               &_indexbuffer, NULL),
                     L"device->CreateIndexBuffer(dataSize / 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &_indexbuffer, NULL)");
        else
            DXFailed(device->CreateIndexBuffer(dataSize, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT,
                                               &_indexbuffer, NULL),
                     L"device->CreateIndexBuffer(dataSize, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &_indexbuffer, NULL)");
        break;
    default:
        break;  // an unknown kind has no Direct3D buffer
    }

    if (_settings.data) {
        SetBufferData(_settings.data, 0, 0);
        SetState(rsReady);
    }
}

LockedMemory& DX9ResBufferGPU::Lock(LockedMemory& buffer)
{
    RequireState(*this, {rsReady, rsCreated});
    SetState(rsLocked);
    buffer.pitch = 0;
    buffer.bits = nullptr;
    if (!IsIndexBuffer()) {
        if (_buffer)
            DXFailed(_buffer->Lock(0, 0, &buffer.bits, 0), L"_buffer->Lock(0, 0, reinterpret_cast<void**>(&buffer.bits), 0)");
    } else if (_use16BitIndices) {
        // The caller writes 32-bit indices into a staging array; Unlock narrows them.
        if (_indexbuffer)
            DXFailed(_indexbuffer->Lock(0, 0, reinterpret_cast<void**>(&_tempUShortBuffer), 0),
                     L"_indexbuffer->Lock(0, 0, reinterpret_cast<void**>(&_tempUShortBuffer), 0)");
        // Staging only for an index buffer that is there to take the indices. The
        // array keeps the indices the caller wrote last, so a partial write leaves the
        // others as they were: Unlock narrows every entry.
        if (_tempUShortBuffer && _settings.count > 0) {
            if (_stagingIndices.empty())
                _stagingIndices.assign(static_cast<size_t>(_settings.count), 0u);
            buffer.bits = _stagingIndices.data();
        }
    } else if (_indexbuffer) {
        DXFailed(_indexbuffer->Lock(0, 0, &buffer.bits, 0),
                 L"_indexbuffer->Lock(0, 0, reinterpret_cast<void**>(&buffer.bits), 0)");
    }
    buffer.pitch = IsIndexBuffer() ? 4 : GetSizeElement();
    return buffer;
}

void DX9ResBufferGPU::Unlock()
{
    RequireState(*this, {rsLocked});
    if (!IsIndexBuffer()) {
        if (_buffer)
            DXFailed(_buffer->Unlock(), L"_buffer->Unlock()");
    } else if (_use16BitIndices) {
        if (_tempUShortBuffer) {
            for (size_t i = 0; i < _stagingIndices.size(); ++i)
                _tempUShortBuffer[i] = static_cast<uint16_t>(_stagingIndices[i]);  // low halves, by design
        }
        if (_indexbuffer)
            DXFailed(_indexbuffer->Unlock(), L"_indexbuffer->Unlock()");
        _tempUShortBuffer = nullptr;
    } else if (_indexbuffer) {
        DXFailed(_indexbuffer->Unlock(), L"_indexbuffer->Unlock()");
    }
    SetState(rsReady);
}

uint64_t DX9ResBufferGPU::WritableBytes() const
{
    if (HoldsStagedIndices())
        return _tempUShortBuffer ? static_cast<uint64_t>(_stagingIndices.size()) * 4u : 0u;
    return _buffer || _indexbuffer ? DataSize() : 0u;
}

void DX9ResBufferGPU::SetBufferData(const void* data, uint32_t size, uint32_t offset)
{
    LockedMemory locked;
    Lock(locked);
    if (size == 0)
        size = static_cast<uint32_t>(WritableBytes() > UINT32_MAX ? UINT32_MAX : WritableBytes());
    if (locked.bits) {
        if (!data)
            LogAlways(LogError, L"DX9ResBufferGPU(%X)::SetBufferData() - no data: nothing copied\n", LogAddress(this));
        else if (static_cast<uint64_t>(offset) + size > WritableBytes())
            LogAlways(LogError,
                      L"DX9ResBufferGPU(%X)::SetBufferData() - %u bytes at offset %u do not fit in %u bytes: nothing copied\n",
                      LogAddress(this), size, offset, static_cast<unsigned int>(WritableBytes()));
        else
            std::memcpy(static_cast<uint8_t*>(locked.bits) + offset, data, size);
    }
    Unlock();
}

void DX9ResBufferGPU::Select(uint32_t)
{
    // Nothing is bound here: the render binds selected buffers when it draws.
    RequireState(*this, {rsReady, rsSelected});
    SetState(rsSelected);
    ++_selectCount;
}

void DX9ResBufferGPU::DeSelect(uint32_t)
{
    RequireState(*this, {rsSelected});
    if (--_selectCount == 0)
        SetState(rsReady);
}

void DX9ResBufferGPU::Target(uint32_t)
{
    ThrowError(ecInvalidOperation);
}

void DX9ResBufferGPU::TransferTo(boost::shared_ptr<IResource>)
{
    ThrowError(ecInvalidOperation);
}

void DX9ResBufferGPU::Destroy()
{
    if (GetState() == rsSelected)
        DeSelect(0);
    ReleaseOwned(_buffer, this, L"DX9ResBufferGPU(%X)::Destroy() - Buffer Not Released, RefCount = %d\n");
    ReleaseOwned(_indexbuffer, this, L"DX9ResBufferGPU(%X)::Destroy() - Buffer Not Released, RefCount = %d\n");
    SetState(rsDestroyed);
}
