#include "DX9StateDepth.h"

#include "StateMappings.h"

using namespace VeltraRender;

bool DX9StateDepth::SameSettings(const DepthSettings& a, const DepthSettings& b)
{
    return a.depthTest == b.depthTest && a.depthWrite == b.depthWrite && a.depthBias == b.depthBias &&
           a.depthFunction == b.depthFunction && a.depthExtra1 == b.depthExtra1 && a.depthExtra2 == b.depthExtra2;
}

void DX9StateDepth::Apply(const RenderAccess& render, const DepthSettings* previous, uint32_t)
{
    IDirect3DDevice9* device = render.Device();
    const DepthSettings& s = _settings;
    if (Changed(previous, s, &DepthSettings::depthTest))
        Send(device, D3DRS_ZENABLE, s.depthTest ? D3DZB_TRUE : D3DZB_FALSE,
             L"device->SetRenderState(D3DRS_ZENABLE, _settings.depthTest ? D3DZB_TRUE : D3DZB_FALSE)");
    if (Changed(previous, s, &DepthSettings::depthWrite))
        Send(device, D3DRS_ZWRITEENABLE, s.depthWrite ? 1 : 0,
             L"device->SetRenderState(D3DRS_ZWRITEENABLE, (_settings.depthWrite ? 1 : 0))");
    if (Changed(previous, s, &DepthSettings::depthBias)) {
        const float depthBias = NarrowToFloat(-s.depthBias);
        Send(device, D3DRS_DEPTHBIAS, F2DW(depthBias), L"device->SetRenderState(D3DRS_DEPTHBIAS, F2DW(depthBias))");
    }
    if (Changed(previous, s, &DepthSettings::depthFunction))
        Send(device, D3DRS_ZFUNC, GetDX9DepthFunction(s.depthFunction),
             L"device->SetRenderState(D3DRS_ZFUNC, GetDX9DepthFunction(_settings.depthFunction))");
}
