// Drawing, clearing and flushing on the shared device. A draw streams the selected
// vertex buffers in usage order and binds the vertex declaration of that layout, which
// the shared device keeps for later draws of the same layout.

#include "RenderDX9.h"

#include "DeviceStates.h"
#include "VertexDeclarations.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/DX9ResBufferGPU.h"
#include "../resources/DX9ResShaderGPU.h"
#include "../resources/ErrorReporting.h"

#include <algorithm>

using namespace Veltra;
using namespace VeltraRender;

namespace {

// Streams are ordered position, normal, colour, texture coordinates, the rest.
int UsageRank(BYTE usage)
{
    switch (usage) {
    case D3DDECLUSAGE_POSITION:
        return 0;
    case D3DDECLUSAGE_NORMAL:
        return 1;
    case D3DDECLUSAGE_COLOR:
        return 2;
    case D3DDECLUSAGE_TEXCOORD:
        return 3;
    default:
        return 4;
    }
}

const D3DVERTEXELEMENT9 DeclarationEnd = D3DDECL_END();

// The index count of the current index buffer: the plug-in's own buffer knows it; an
// object of the host's own says it in its settings.
int32_t IndexCount(IResourceGPU& indexBuffer)
{
    if (const DX9ResBufferGPU* buffer = DX9ResBufferGPU::Of(&indexBuffer))
        return buffer->Count();
    BufferSettings settings;
    indexBuffer.GetSettings(settings);
    return settings.count;
}

} // namespace

void RenderDX9::PrepareStreams(const wchar_t* streamSourceText)
{
    auto streamOrder = [](const BufferRecord& a, const BufferRecord& b) {
        const int rankA = UsageRank(a.element.Usage);
        const int rankB = UsageRank(b.element.Usage);
        return rankA != rankB ? rankA < rankB : a.element.UsageIndex < b.element.UsageIndex;
    };
    if (!std::is_sorted(_currentBufferData.begin(), _currentBufferData.end(), streamOrder))
        std::sort(_currentBufferData.begin(), _currentBufferData.end(), streamOrder);
    for (size_t i = 0; i < _currentBufferData.size(); ++i) {
        _currentBufferData[i].element.Stream = static_cast<WORD>(i);
        _currentVertexElements.push_back(_currentBufferData[i].element);
    }
    _currentVertexElements.push_back(DeclarationEnd);

    // Without a declaration null is bound: the draw then fails and is reported, rather
    // than running with an earlier draw's declaration against these streams.
    IDirect3DVertexDeclaration9* vertexDeclaration = VertexDeclarations::Find(_currentVertexElements);
    _currentVertexElements.clear();
    DXFailed(cg_pd3dDevice->SetVertexDeclaration(vertexDeclaration), L"cg_pd3dDevice->SetVertexDeclaration(vertexDeclaration)");

    for (size_t i = 0; i < _currentBufferData.size(); ++i) {
        const DX9ResBufferGPU& buffer = *_currentBufferData[i].buffer;
        DXFailed(cg_pd3dDevice->SetStreamSource(static_cast<UINT>(i), buffer.GetBuffer(), 0, buffer.GetSizeElement()),
                 streamSourceText);
    }
    if (const DX9ResBufferGPU* indices = DX9ResBufferGPU::Of(_currentIndexBuffer.get()))
        DXFailed(cg_pd3dDevice->SetIndices(indices->GetIndexBuffer()),
                 L"cg_pd3dDevice->SetIndices(boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentIndexBuffer)->GetIndexBuffer())");
}

bool RenderDX9::DeviceForDrawing(const wchar_t* operation)
{
    if (cg_pd3dDevice)
        return true;
    LogAlways(LogError, L"RenderDX9(%X)::%s - no Direct3D device: the render is not initialised\n", LogAddress(this),
              operation);
    return false;
}

void RenderDX9::Draw()
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (!DeviceForDrawing(L"Draw()"))
        return;
    // A draw needs a vertex buffer for its vertex count and an index buffer for its triangles.
    if (_currentBufferData.empty() || !_currentIndexBuffer) {
        LogAlways(LogError, L"RenderDX9(%X)::Draw() - no vertex buffer or no index buffer selected: nothing drawn\n",
                  LogAddress(this));
        return;
    }
    PrepareStreams(
        L"cg_pd3dDevice->SetStreamSource(i, boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetBuffer(),0,boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetSizeElement())");
    DXFailed(cg_pd3dDevice->BeginScene(), L"cg_pd3dDevice->BeginScene()");
    const int32_t vertexCount = _currentBufferData.front().buffer->Count();
    DXFailed(cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, static_cast<UINT>(vertexCount), 0,
                                                 static_cast<UINT>(IndexCount(*_currentIndexBuffer) / 3)),
             L"cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, buffsettings.count, 0, indexBuffSettings.count / 3)");
    DXFailed(cg_pd3dDevice->EndScene(), L"cg_pd3dDevice->EndScene()");
}

void RenderDX9::DrawQuad()
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (!DeviceForDrawing(L"DrawQuad()") || !_quadPositions)
        return;
    HintWhenTheQuadIsCulled();
    SelectResource(_quadPositions, 0);
    SelectResource(_quadIndices, 0);
    SelectResource(_quadNormals, 0);
    // A shader destroyed since it was selected has no programs to take the projection
    // (the quad then draws as it would with no shader).
    const boost::shared_ptr<DX9ResShaderGPU> shader = boost::dynamic_pointer_cast<DX9ResShaderGPU>(_currentShader);
    if (shader && shader->GetState() != rsDestroyed)
        shader->UploadParameter(0, s_modelViewProjectionName, ShaderValue::Inline(svMatrix4, _modelViewProjection.m));
    PrepareStreams(
        L"cg_pd3dDevice->SetStreamSource(i, boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetBuffer(), 0, boost::dynamic_pointer_cast<DX9ResBufferGPU>(_currentBufferData[i].buffer)->GetSizeElement())");
    DXFailed(cg_pd3dDevice->BeginScene(), L"cg_pd3dDevice->BeginScene()");
    DXFailed(cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2),
             L"cg_pd3dDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)");
    DXFailed(cg_pd3dDevice->EndScene(), L"cg_pd3dDevice->EndScene()");
    DeSelectResource(_quadIndices, 0);
    DeSelectResource(_quadPositions, 0);
    DeSelectResource(_quadNormals, 0);
}

void RenderDX9::HintWhenTheQuadIsCulled()
{
    const int RasterRow = 0;
    if (_quadCullHintGiven || !LogActive(LogWarning) || DeviceStates::Current(RasterRow, 0))
        return;
    DWORD cullMode = D3DCULL_NONE;
    if (DXFailed(cg_pd3dDevice->GetRenderState(D3DRS_CULLMODE, &cullMode), L"cg_pd3dDevice->GetRenderState(D3DRS_CULLMODE, &cullMode)") ||
        cullMode != D3DCULL_CCW)
        return;
    LogIfActive(LogWarning,
                L"RenderDX9(%X)::DrawQuad() - no raster state selected: Direct3D culls counter-clockwise triangles, "
                L"which hides the default quad; select a raster state with cfNone\n",
                LogAddress(this));
    _quadCullHintGiven = true;
}

void RenderDX9::Clear(uint8_t clearMask)
{
    const uint8_t ClearLater = 0x10;
    skcore::COSAutoLock renderLock(s_renderLock);
    if (clearMask & ClearLater) {
        // Run when the next render target is bound (TargetResource).
        _pendingClearMask = static_cast<uint8_t>(clearMask & ~ClearLater);
        return;
    }
    if (!DeviceForDrawing(L"Clear()"))
        return;
    const DWORD flags = (clearMask & 0x02 ? D3DCLEAR_ZBUFFER : 0) | (clearMask & 0x04 ? D3DCLEAR_STENCIL : 0);
    if (flags)
        DXFailed(cg_pd3dDevice->Clear(0, NULL, flags, D3DCOLOR_ARGB(0, 0, 0, 0), 1.0f, 0),
                 L"cg_pd3dDevice->Clear(0, NULL, clearMask, D3DCOLOR_ARGB(0, 0, 0, 0), 1.0f, 0)");
    const boost::shared_ptr<IResTextureGPU> target = boost::dynamic_pointer_cast<IResTextureGPU>(_currentRenderTarget);
    if (!target || target->GetClearColorEnabled())
        DXFailed(cg_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, g_clearColor, 1.0f, 0),
                 L"cg_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET, g_clearColor, 1.0f, 0)");
}

bool RenderDX9::Flush(bool wait)
{
    // No frame takes this long: a GPU that has not passed the event by then has hung,
    // and the host's thread is given back rather than held forever.
    const ULONGLONG WaitLimitMilliseconds = 5000;
    IDirect3DQuery9* query = g_eventQuery;
    if (!query)
        return false;
    query->Issue(D3DISSUE_END);
    // GetData with the flush flag submits the queued commands; waiting polls without
    // sleeping until the GPU has passed the event.
    const ULONGLONG deadline = GetTickCount64() + WaitLimitMilliseconds;
    while (query->GetData(NULL, 0, D3DGETDATA_FLUSH) == S_FALSE && wait) {
        if (GetTickCount64() > deadline) {
            LogAlways(LogError, L"RenderDX9(%X)::Flush() - the GPU did not finish within %u ms: stopped waiting\n",
                      LogAddress(this), static_cast<unsigned int>(WaitLimitMilliseconds));
            return false;
        }
        SwitchToThread();  // a yield, not a sleep: the GPU may be a thread of this machine
    }
    return true;
}
