#include "DX9StateStencil.h"

#include "StateMappings.h"

using namespace VeltraRender;

bool DX9StateStencil::SameSettings(const StencilSettings& a, const StencilSettings& b)
{
    return a.enable == b.enable && a.stencilFunction == b.stencilFunction && a.opOnFail == b.opOnFail &&
           a.opOnDepthFail == b.opOnDepthFail && a.opOnDepthPass == b.opOnDepthPass &&
           a.referenceValue == b.referenceValue && a.valueMask == b.valueMask && a.writeMask == b.writeMask;
}

void DX9StateStencil::Apply(const RenderAccess& render, const StencilSettings* previous, uint32_t)
{
    IDirect3DDevice9* device = render.Device();
    const StencilSettings& s = _settings;
    if (Changed(previous, s, &StencilSettings::enable))
        Send(device, D3DRS_STENCILENABLE, s.enable ? TRUE : FALSE,
             L"device->SetRenderState(D3DRS_STENCILENABLE, _settings.enable ? TRUE : FALSE)");
    // Masks and reference pass whole, not cut to the stencil buffer's width.
    if (Changed(previous, s, &StencilSettings::writeMask))
        Send(device, D3DRS_STENCILWRITEMASK, s.writeMask,
             L"device->SetRenderState(D3DRS_STENCILWRITEMASK, static_cast<DWORD>(_settings.writeMask))");
    if (Changed(previous, s, &StencilSettings::referenceValue))
        Send(device, D3DRS_STENCILREF, s.referenceValue,
             L"device->SetRenderState(D3DRS_STENCILREF, static_cast<DWORD>(_settings.referenceValue))");
    if (Changed(previous, s, &StencilSettings::valueMask))
        Send(device, D3DRS_STENCILMASK, s.valueMask,
             L"device->SetRenderState(D3DRS_STENCILMASK, static_cast<DWORD>(_settings.valueMask))");
    if (Changed(previous, s, &StencilSettings::stencilFunction))
        Send(device, D3DRS_STENCILFUNC, GetDX9StencilFunction(s.stencilFunction),
             L"device->SetRenderState(D3DRS_STENCILFUNC,GetDX9StencilFunction(_settings.stencilFunction))");
    if (Changed(previous, s, &StencilSettings::opOnFail))
        Send(device, D3DRS_STENCILFAIL, GetDX9StencilOperation(s.opOnFail),
             L"device->SetRenderState(D3DRS_STENCILFAIL,GetDX9StencilOperation(_settings.opOnFail))");
    if (Changed(previous, s, &StencilSettings::opOnDepthPass))
        Send(device, D3DRS_STENCILPASS, GetDX9StencilOperation(s.opOnDepthPass),
             L"device->SetRenderState(D3DRS_STENCILPASS,GetDX9StencilOperation(_settings.opOnDepthPass))");
    if (Changed(previous, s, &StencilSettings::opOnDepthFail))
        Send(device, D3DRS_STENCILZFAIL, GetDX9StencilOperation(s.opOnDepthFail),
             L"device->SetRenderState(D3DRS_STENCILZFAIL,GetDX9StencilOperation(_settings.opOnDepthFail))");
}
