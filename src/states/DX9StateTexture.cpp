#include "DX9StateTexture.h"

#include "StateMappings.h"

#include "../render/RenderDX9.h"

#include <algorithm>

using namespace VeltraRender;

namespace {

void SendSampler(IDirect3DDevice9* device, uint32_t unit, D3DSAMPLERSTATETYPE type, DWORD value, const wchar_t* callText)
{
    Veltra::DXFailed(device->SetSamplerState(unit, type, value), callText);
}

bool SameBorderRgb(const double (&a)[4], const double (&b)[4])
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

} // namespace

bool DX9StateTexture::SameSettings(const SamplerSettings& a, const SamplerSettings& b)
{
    return a.minFiltering == b.minFiltering && a.maxFiltering == b.maxFiltering &&
           a.wrapHorizontal == b.wrapHorizontal && a.wrapVertical == b.wrapVertical &&
           SameBorderRgb(a.borderColor, b.borderColor) && a.borderColor[3] == b.borderColor[3] &&
           a.maxAnisotropy == b.maxAnisotropy;
}

void DX9StateTexture::Apply(const RenderAccess& render, const SamplerSettings* previous, uint32_t hardwareUnit)
{
    IDirect3DDevice9* device = render.Device();
    const SamplerSettings& s = _settings;
    if (Changed(previous, s, &SamplerSettings::minFiltering))
        SendSampler(device, hardwareUnit, D3DSAMP_MINFILTER, GetDX9TextureFiltering(s.minFiltering),
                    L"device->SetSamplerState(hardwareUnit,D3DSAMP_MINFILTER,GetDX9TextureFiltering(_settings.minFiltering))");
    if (Changed(previous, s, &SamplerSettings::maxFiltering))
        SendSampler(device, hardwareUnit, D3DSAMP_MAGFILTER, GetDX9TextureFiltering(s.maxFiltering),
                    L"device->SetSamplerState(hardwareUnit,D3DSAMP_MAGFILTER,GetDX9TextureFiltering(_settings.maxFiltering))");
    if (Changed(previous, s, &SamplerSettings::wrapHorizontal))
        SendSampler(device, hardwareUnit, D3DSAMP_ADDRESSU, GetDX9TextureWrapping(s.wrapHorizontal),
                    L"device->SetSamplerState(hardwareUnit,D3DSAMP_ADDRESSU, GetDX9TextureWrapping(_settings.wrapHorizontal))");
    if (Changed(previous, s, &SamplerSettings::wrapVertical))
        SendSampler(device, hardwareUnit, D3DSAMP_ADDRESSV, GetDX9TextureWrapping(s.wrapVertical),
                    L"device->SetSamplerState(hardwareUnit,D3DSAMP_ADDRESSV, GetDX9TextureWrapping(_settings.wrapVertical))");
    // The border is always white with alpha 0; the colour only decides whether it is sent again.
    if (!previous || !SameBorderRgb(previous->borderColor, s.borderColor))
        SendSampler(device, hardwareUnit, D3DSAMP_BORDERCOLOR, 0xffffff,
                    L"device->SetSamplerState(hardwareUnit,D3DSAMP_BORDERCOLOR,0xffffff)");
    if (Changed(previous, s, &SamplerSettings::maxAnisotropy)) {
        const RenderDX9* renderDX9 = dynamic_cast<const RenderDX9*>(&render.Render());
        const int32_t limit = static_cast<int32_t>(renderDX9 ? renderDX9->LimitMaxAnisotropy() : 16u);
        SendSampler(device, hardwareUnit, D3DSAMP_MAXANISOTROPY, static_cast<DWORD>(std::min(s.maxAnisotropy, limit)),
                    L"device->SetSamplerState(hardwareUnit, D3DSAMP_MAXANISOTROPY, min(_settings.maxAnisotropy, renderDX9->LimitMaxAnisotropy()))");
    }
}
