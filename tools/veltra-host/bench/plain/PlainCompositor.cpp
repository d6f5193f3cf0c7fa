#include "bench/plain/PlainCompositor.h"

#include "bench/plain/PlainTransfers.h"
#include "common/HostErrors.h"
#include "scene/BlendTable.h"

#include <cstring>

namespace {

D3DBLEND Direct3DFactor(uint32_t factor)
{
    using namespace VeltraRender;
    switch (factor) {
    case bfZero:
        return D3DBLEND_ZERO;
    case bfOneMinusSrcAlpha:
        return D3DBLEND_INVSRCALPHA;
    case bfDstColor:
        return D3DBLEND_DESTCOLOR;
    case bfOneMinusSrcColor:
        return D3DBLEND_INVSRCCOLOR;
    default:
        return D3DBLEND_ONE;
    }
}

} // namespace

PlainCompositor::PlainCompositor(PlainDirect3D& direct3D, const FramePlan& plan)
    : _device(direct3D.Device()), _plan(plan)
{
    for (const PlanTexture& source : plan.textures) {
        _sources.push_back(Texture(source.image.width, source.image.height));
        Upload(source.image, _sources.back().Get());
    }
    for (const PixelRect& size : plan.intermediates)
        _intermediates.push_back(Texture(size.width, size.height));
    _frame = Texture(plan.width, plan.height);
    _readBack = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, plan.width, plan.height, true));

    _vertexShader = direct3D.VertexShader(plan.vertex);
    for (const PlanProgram& program : plan.programs)
        _pixelShaders.push_back(direct3D.PixelShader(program.pixel));

    for (const Pass& pass : plan.passes) {
        const std::array<float, 12> corners = ClipSpaceCorners(pass.rect, pass.targetWidth, pass.targetHeight);
        _positions.push_back(direct3D.VertexBuffer(corners.data(), sizeof corners));
    }
    _texCoords = direct3D.VertexBuffer(CornerTexCoords, sizeof CornerTexCoords);
    _indices = direct3D.IndexBuffer(CornerIndices, sizeof CornerIndices);
    _declaration = direct3D.PassDeclaration();
}

ComReference<IDirect3DTexture9> PlainCompositor::Texture(int width, int height)
{
    return ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, width, height, false));
}

void PlainCompositor::Upload(const Image& image, IDirect3DTexture9* texture)
{
    UploadOverHostMemory(_device, image.pixels.data(), image.width, image.height, texture);
}

IDirect3DTexture9* PlainCompositor::TextureOf(const TextureRef& texture) const
{
    return texture.intermediate ? _intermediates[texture.index].Get() : _sources[texture.index].Get();
}

void PlainCompositor::UploadLiveSources()
{
    for (size_t i = 0; i < _plan.textures.size(); ++i)
        if (_plan.textures[i].live)
            Upload(_plan.textures[i].image, _sources[i].Get());
}

void PlainCompositor::SetBlend(BlendMode mode)
{
    const BlendFactors factors = FactorsOf(mode);
    _device->SetRenderState(D3DRS_ALPHABLENDENABLE, factors.enabled);
    _device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, factors.enabled);
    if (!factors.enabled)
        return;
    _device->SetRenderState(D3DRS_SRCBLEND, Direct3DFactor(factors.sourceColour));
    _device->SetRenderState(D3DRS_DESTBLEND, Direct3DFactor(factors.destinationColour));
    _device->SetRenderState(D3DRS_SRCBLENDALPHA, Direct3DFactor(factors.sourceAlpha));
    _device->SetRenderState(D3DRS_DESTBLENDALPHA, Direct3DFactor(factors.destinationAlpha));
}

void PlainCompositor::Draw(double time)
{
    _device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    _device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    _device->SetRenderState(D3DRS_LIGHTING, FALSE);
    for (int unit = 0; unit < _plan.samplerUnits; ++unit) {
        _device->SetSamplerState(unit, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        _device->SetSamplerState(unit, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        _device->SetSamplerState(unit, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        _device->SetSamplerState(unit, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    _device->SetVertexDeclaration(_declaration.Get());
    _device->SetVertexShader(_vertexShader.Get());
    _device->SetStreamSource(1, _texCoords.Get(), 0, 2 * sizeof(float));
    _device->SetIndices(_indices.Get());

    int target = -2;
    for (size_t i = 0; i < _plan.passes.size(); ++i) {
        const Pass& pass = _plan.passes[i];
        if (pass.target != target) {
            target = pass.target;
            ComReference<IDirect3DSurface9> surface;
            IDirect3DTexture9* texture = target < 0 ? _frame.Get() : _intermediates[target].Get();
            CheckPlain(texture->GetSurfaceLevel(0, surface.Receive()), "GetSurfaceLevel");
            CheckPlain(_device->SetRenderTarget(0, surface.Get()), "SetRenderTarget");
            _device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        }
        SetBlend(pass.blend);
        _device->SetPixelShader(_pixelShaders[pass.program].Get());
        for (const PassUniform& uniform : UniformsAt(pass, time)) {
            float registers[16] = {};
            std::memcpy(registers, uniform.values.data(), uniform.values.size() * sizeof(float));
            _device->SetPixelShaderConstantF(uniform.firstRegister, registers, uniform.registers);
        }
        for (const SamplerBinding& sampler : pass.samplers)
            _device->SetTexture(sampler.unit, TextureOf(sampler.texture));
        _device->SetStreamSource(0, _positions[i].Get(), 0, 3 * sizeof(float));
        CheckPlain(_device->BeginScene(), "BeginScene");
        _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
        _device->EndScene();
        for (const SamplerBinding& sampler : pass.samplers)
            _device->SetTexture(sampler.unit, nullptr);
    }
}

Image PlainCompositor::ReadFrame()
{
    Image image(_plan.width, _plan.height);
    ReadRenderTarget(_device, _frame.Get(), _readBack.Get(), image.pixels.data(), _plan.width, _plan.height);
    return image;
}
