#include "DX9StateRaster.h"

#include "StateMappings.h"

using namespace VeltraRender;

bool DX9StateRaster::SameSettings(const RasterSettings& a, const RasterSettings& b)
{
    return a.cullFace == b.cullFace && a.fillMode == b.fillMode && a.frontWinding == b.frontWinding &&
           a.enableMultisampling == b.enableMultisampling;
}

void DX9StateRaster::Apply(const RenderAccess& render, const RasterSettings* previous, uint32_t)
{
    IDirect3DDevice9* device = render.Device();
    const RasterSettings& s = _settings;
    if (Changed(previous, s, &RasterSettings::fillMode))
        Send(device, D3DRS_FILLMODE, GetDX9FillMode(s.fillMode),
             L"device->SetRenderState(D3DRS_FILLMODE, GetDX9FillMode(_settings.fillMode))");
    if (Changed(previous, s, &RasterSettings::cullFace) || Changed(previous, s, &RasterSettings::frontWinding)) {
        switch (s.cullFace) {
        case cfNone:
            Send(device, D3DRS_CULLMODE, D3DCULL_NONE, L"device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE)");
            break;
        case cfFront:  // cull the triangles wound like front faces
            Send(device, D3DRS_CULLMODE, GetDX9Winding(s.frontWinding),
                 L"device->SetRenderState(D3DRS_CULLMODE, GetDX9Winding(_settings.frontWinding))");
            break;
        case cfBack:  // cull the opposite winding
            Send(device, D3DRS_CULLMODE, GetDX9Winding(s.frontWinding == pwCCW ? pwCW : pwCCW),
                 L"device->SetRenderState(D3DRS_CULLMODE, GetDX9Winding(_settings.frontWinding == pwCCW ? pwCW : pwCCW))");
            break;
        default:
            break;  // an unknown cull face leaves the device's cull mode as it is
        }
    }
    if (Changed(previous, s, &RasterSettings::enableMultisampling))
        Send(device, D3DRS_MULTISAMPLEANTIALIAS, s.enableMultisampling ? TRUE : FALSE,
             L"device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, _settings.enableMultisampling ? TRUE : FALSE)");
}
