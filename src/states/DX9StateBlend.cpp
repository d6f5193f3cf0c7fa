#include "DX9StateBlend.h"

#include "StateMappings.h"

using namespace VeltraRender;

namespace {

bool SameColour(const double (&a)[4], const double (&b)[4])
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

} // namespace

bool DX9StateBlend::SameSettings(const BlendSettings& a, const BlendSettings& b)
{
    return a.enableBlending == b.enableBlending && a.colorBlendEquation == b.colorBlendEquation &&
           a.srcColorFactor == b.srcColorFactor && a.dstColorFactor == b.dstColorFactor &&
           a.alphaBlendEquation == b.alphaBlendEquation && a.srcAlphaFactor == b.srcAlphaFactor &&
           a.dstAlphaFactor == b.dstAlphaFactor && SameColour(a.blendColor, b.blendColor);
}

void DX9StateBlend::Apply(const RenderAccess& render, const BlendSettings* previous, uint32_t)
{
    IDirect3DDevice9* device = render.Device();
    const BlendSettings& s = _settings;
    if (Changed(previous, s, &BlendSettings::enableBlending)) {
        // Whenever blending is on, alpha blends with its own equation and factors.
        Send(device, D3DRS_ALPHABLENDENABLE, s.enableBlending ? TRUE : FALSE,
             L"device->SetRenderState(D3DRS_ALPHABLENDENABLE, _settings.enableBlending ? TRUE : FALSE)");
        Send(device, D3DRS_SEPARATEALPHABLENDENABLE, s.enableBlending ? TRUE : FALSE,
             L"device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, _settings.enableBlending ? TRUE : FALSE)");
    }
    if (Changed(previous, s, &BlendSettings::colorBlendEquation))
        Send(device, D3DRS_BLENDOP, GetDX9BlendEquation(s.colorBlendEquation),
             L"device->SetRenderState(D3DRS_BLENDOP, GetDX9BlendEquation(_settings.colorBlendEquation))");
    if (Changed(previous, s, &BlendSettings::srcColorFactor))
        Send(device, D3DRS_SRCBLEND, GetDX9BlendFactor(s.srcColorFactor),
             L"device->SetRenderState(D3DRS_SRCBLEND,GetDX9BlendFactor(_settings.srcColorFactor))");
    if (Changed(previous, s, &BlendSettings::dstColorFactor))
        Send(device, D3DRS_DESTBLEND, GetDX9BlendFactor(s.dstColorFactor),
             L"device->SetRenderState(D3DRS_DESTBLEND,GetDX9BlendFactor(_settings.dstColorFactor))");
    if (Changed(previous, s, &BlendSettings::alphaBlendEquation))
        Send(device, D3DRS_BLENDOPALPHA, GetDX9BlendEquation(s.alphaBlendEquation),
             L"device->SetRenderState(D3DRS_BLENDOPALPHA, GetDX9BlendEquation(_settings.alphaBlendEquation))");
    if (Changed(previous, s, &BlendSettings::srcAlphaFactor))
        Send(device, D3DRS_SRCBLENDALPHA, GetDX9BlendFactor(s.srcAlphaFactor),
             L"device->SetRenderState(D3DRS_SRCBLENDALPHA,GetDX9BlendFactor(_settings.srcAlphaFactor))");
    if (Changed(previous, s, &BlendSettings::dstAlphaFactor))
        Send(device, D3DRS_DESTBLENDALPHA, GetDX9BlendFactor(s.dstAlphaFactor),
             L"device->SetRenderState(D3DRS_DESTBLENDALPHA,GetDX9BlendFactor(_settings.dstAlphaFactor))");
    if (!previous || !SameColour(previous->blendColor, s.blendColor))
        Send(device, D3DRS_BLENDFACTOR, PackBlendColor(s.blendColor),
             L"device->SetRenderState(D3DRS_BLENDFACTOR, (redLong << 16) | (greenLong << 8) | (blueLong) | (alphaLong << 24))");
}
