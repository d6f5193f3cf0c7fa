// How a buffer's settings map onto Direct3D: element size, FVF code and vertex element.

#include "DX9ResBufferGPU.h"

using namespace VeltraRender;

uint32_t ComponentCount(uint32_t components)
{
    return components >= 1 && components <= 4 ? components : 1;
}

uint32_t DX9ResBufferGPU::GetSizeElement() const
{
    return 4 * ComponentCount(_settings.components);
}

uint64_t DX9ResBufferGPU::DataSize() const
{
    // Worked out in 64 bits: a count whose bytes do not fit Direct3D's 32-bit sizes must
    // not wrap into a small buffer that the caller's data would overrun.
    return _settings.count > 0 ? static_cast<uint64_t>(_settings.count) * ComponentCount(_settings.components) * 4u : 0u;
}

DWORD DX9ResBufferGPU::GetFVF() const
{
    switch (_settings.kind) {
    case bkIndices:
        return _use16BitIndices ? 2 : 4;  // the index width in bytes
    case bkPositions:
        return D3DFVF_XYZ;
    case bkNormals:
        return D3DFVF_NORMAL;
    case bkTexCoords:
        return D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(0);
    case bkTexCoordsSized:
        switch (_settings.components) {
        case 1:
            return D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0);
        case 2:
            return D3DFVF_TEX1;
        case 3:
            return D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0);
        case 4:
            return D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(0);
        default:
            return 0;
        }
    default:
        return 0;
    }
}

D3DVERTEXELEMENT9 DX9ResBufferGPU::GetVertexElement(uint8_t usageIndex)
{
    BYTE usage;
    switch (_settings.kind) {
    case bkPositions:
        usage = D3DDECLUSAGE_POSITION;
        break;
    case bkNormals:
        usage = D3DDECLUSAGE_NORMAL;
        break;
    case bkTexCoords:
    case bkTexCoordsSized:
        usage = D3DDECLUSAGE_TEXCOORD;
        break;
    default:
        return _vertexElement;  // index buffers and unknown kinds have no element
    }
    BYTE declarationType;
    switch (_settings.components) {
    case 0:
        declarationType = D3DDECLTYPE_SHORT2;
        break;
    case 2:
        declarationType = D3DDECLTYPE_FLOAT2;
        break;
    case 3:
        declarationType = D3DDECLTYPE_FLOAT3;
        break;
    case 4:
        declarationType = D3DDECLTYPE_FLOAT4;
        break;
    default:
        declarationType = D3DDECLTYPE_FLOAT1;
        break;
    }
    _vertexElement.Stream = 0;
    _vertexElement.Offset = 0;
    _vertexElement.Type = declarationType;
    _vertexElement.Method = D3DDECLMETHOD_DEFAULT;
    _vertexElement.Usage = usage;
    _vertexElement.UsageIndex = usageIndex;
    return _vertexElement;
}
