// Binding resources and states for the next draw. The render remembers what is
// bound (strong references) so that a draw can assemble its streams and a state can
// compare itself with the one it replaces. Everything here runs under s_renderLock.

#include "RenderDX9.h"

#include "DeviceStates.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/DX9ResBufferGPU.h"

#include <VeltraRender/TextureSettings.h>

#include <algorithm>
#include <utility>

using namespace Veltra;
using namespace VeltraRender;

void RenderDX9::SelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (!resource) {
        LogIfActive(LogError, L"RenderDX9::SelectResource() - resource is null\n");
        return;
    }
    resource->Select(hardwareUnit);
    // The records take the host's reference over (moved, not copied): a draw-heavy host
    // selects thousands of buffers a frame, and each copy is an atomic count on both sides.
    switch (resource->GetType()) {
    case rtBufferGPU:
        if (DX9ResBufferGPU* buffer = DX9ResBufferGPU::Of(resource.get())) {
            if (buffer->IsIndexBuffer()) {
                _currentIndexBuffer = std::move(resource);
            } else {
                const D3DVERTEXELEMENT9 element = buffer->GetVertexElement(static_cast<uint8_t>(hardwareUnit));
                _currentBufferData.push_back(BufferRecord{boost::shared_ptr<DX9ResBufferGPU>(std::move(resource), buffer), element});
            }
        } else {
            // A buffer object of the host's own: only its settings say what it is.
            BufferSettings settings;
            resource->GetSettings(settings);
            if (settings.kind == bkIndices)
                _currentIndexBuffer = std::move(resource);
        }
        break;
    case rtShaderGPU:
        _currentShader = std::move(resource);
        break;
    default:
        break;  // textures bind themselves to their sampler; render targets come through TargetResource
    }
}

void RenderDX9::TargetResource(boost::shared_ptr<IResourceGPU> target, uint32_t unit)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (target) {
        target->Target(unit);
        _currentRenderTarget = target;
        TextureSettings settings;
        target->GetSettings(settings);
        D3DVIEWPORT9 viewport;
        viewport.X = 0;
        viewport.Y = 0;
        viewport.Width = static_cast<DWORD>(settings.image.GetInternalPixelWidth());
        viewport.Height = static_cast<DWORD>(settings.image.pixelHeight);
        viewport.MinZ = 0.0f;
        viewport.MaxZ = 1.0f;
        if (cg_pd3dDevice)
            cg_pd3dDevice->SetViewport(&viewport);  // a viewport the target cannot take is Direct3D's to refuse
    }
    if (_pendingClearMask != 0) {
        Clear(_pendingClearMask);
        _pendingClearMask = 0;
    }
}

void RenderDX9::DeSelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (!resource) {
        LogIfActive(LogError, L"RenderDX9::DeSelectResource() - resource is null\n");
        return;
    }
    resource->DeSelect(hardwareUnit);
    // Only vertex buffers have records: an index buffer's element would be all zeros,
    // which reads as a position element and would take another buffer's record.
    DX9ResBufferGPU* buffer = DX9ResBufferGPU::Of(resource.get());
    if (!buffer || buffer->IsIndexBuffer())
        return;
    const D3DVERTEXELEMENT9 element = buffer->GetVertexElement(static_cast<uint8_t>(hardwareUnit));
    auto matches = [&](const BufferRecord& record) {
        return record.element.Usage == element.Usage && record.element.UsageIndex == static_cast<BYTE>(hardwareUnit);
    };
    // The buffer's own record goes first: two buffers of one usage on one unit (a host
    // mesh and the default quad, say) must not take each other's place. Without one,
    // the first record of the usage and unit goes.
    auto record = std::find_if(_currentBufferData.begin(), _currentBufferData.end(),
                               [&](const BufferRecord& candidate) { return candidate.buffer.get() == buffer && matches(candidate); });
    if (record == _currentBufferData.end())
        record = std::find_if(_currentBufferData.begin(), _currentBufferData.end(), matches);
    if (record != _currentBufferData.end())
        _currentBufferData.erase(record);
}

void RenderDX9::SelectState(boost::shared_ptr<IState> state, int32_t unit)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (!state) {
        LogIfActive(LogError, L"RenderDX9::SelectState() - state is null\n");
        return;
    }
    const int32_t row = static_cast<int32_t>(state->GetType()) - rtStateRaster;
    if (unit < 0 || unit >= 8 || row < 0 || row >= 5) {
        LogAlways(LogError, L"RenderDX9::SelectState() - unit %d of state type %d is outside the table: not selected\n",
                  unit, static_cast<int>(state->GetType()));
        return;
    }
    // The predecessor is what the device holds, which another render may have
    // selected since this render's last selection of the kind.
    state->Select(DeviceStates::Current(row, unit), static_cast<uint32_t>(unit));
    _currentStates[row][unit] = state;
    DeviceStates::Record(row, unit, state);
}
