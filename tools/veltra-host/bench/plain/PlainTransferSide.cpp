#include "bench/plain/PlainTransferSide.h"

#include "bench/plain/PlainTransfers.h"
#include "scene/CgCompiler.h"
#include "scene/EffectLibrary.h"
#include "scene/FramePlan.h"

PlainTransferSide::PlainTransferSide(PlainDirect3D& direct3D, int shaderLevel, int width, int height)
    : _direct3D(direct3D), _device(direct3D.Device()), _width(width), _height(height)
{
    _texture = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, width, height, false));
    _kept = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, width, height, true));
    _targets.push_back(MakeTarget(width / ProbeBlock, height / ProbeBlock));
    CgCompiler cg(shaderLevel);
    _vertexShader = direct3D.VertexShader(cg.CompileVertex(PassVertexProgram));
    _pixelShader = direct3D.PixelShader(cg.CompilePixel(TransferPixelProgram));
    _texCoords = direct3D.VertexBuffer(CornerTexCoords, sizeof CornerTexCoords);
    _indices = direct3D.IndexBuffer(CornerIndices, sizeof CornerIndices);
    _declaration = direct3D.PassDeclaration();
    CheckPlain(_device->CreateQuery(D3DQUERYTYPE_EVENT, _finished.Receive()), "CreateQuery");
}

PlainTransferSide::Target PlainTransferSide::MakeTarget(int width, int height)
{
    Target target;
    target.width = width;
    target.height = height;
    target.texture = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, width, height, false));
    target.readBack = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, width, height, true));
    const std::array<float, 12> corners = ClipSpaceCorners({0, 0, width, height}, width, height);
    target.positions = _direct3D.VertexBuffer(corners.data(), sizeof corners);
    return target;
}

int PlainTransferSide::AddFrame()
{
    _targets.push_back(MakeTarget(_width, _height));
    return static_cast<int>(_targets.size()) - 1;
}

void PlainTransferSide::Upload(const void* pixels)
{
    _creations.push_back(0);
    UploadOverHostMemory(_device, pixels, _width, _height, _texture.Get(), &_creations.back());
}

void PlainTransferSide::UploadThroughKeptTexture(const void* pixels)
{
    UploadThroughStaging(_device, pixels, _width, _height, _kept.Get(), _texture.Get());
}

void PlainTransferSide::Draw(int which)
{
    const Target& target = _targets.at(size_t(which));
    // As the plug-in's TargetResource and DeSelectResource do: the target that was
    // current before is current again after the draw.
    ComReference<IDirect3DSurface9> surface, previous;
    CheckPlain(target.texture->GetSurfaceLevel(0, surface.Receive()), "GetSurfaceLevel");
    CheckPlain(_device->GetRenderTarget(0, previous.Receive()), "GetRenderTarget");
    CheckPlain(_device->SetRenderTarget(0, surface.Get()), "SetRenderTarget");
    _device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    _device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    _device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    _device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    _device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    _device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    _device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    _device->SetVertexDeclaration(_declaration.Get());
    _device->SetVertexShader(_vertexShader.Get());
    _device->SetPixelShader(_pixelShader.Get());
    _device->SetTexture(0, _texture.Get());
    _device->SetStreamSource(0, target.positions.Get(), 0, 3 * sizeof(float));
    _device->SetStreamSource(1, _texCoords.Get(), 0, 2 * sizeof(float));
    _device->SetIndices(_indices.Get());
    CheckPlain(_device->BeginScene(), "BeginScene");
    _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    _device->EndScene();
    _device->SetTexture(0, nullptr);
    CheckPlain(_device->SetRenderTarget(0, previous.Get()), "SetRenderTarget");
    WaitForGpu(_finished.Get());
}

void PlainTransferSide::ReadBack(int which, void* pixels, double* lockAndCopy)
{
    const Target& target = _targets.at(size_t(which));
    ReadRenderTarget(_device, target.texture.Get(), target.readBack.Get(), pixels, target.width, target.height,
                     lockAndCopy);
}
