#include "plugin/PluginCompositor.h"

#include "common/HostErrors.h"
#include "common/RowCopy.h"
#include "plugin/PluginHost.h"
#include "scene/BlendTable.h"

#include <boost/pointer_cast.hpp>
#include <cstring>

using namespace VeltraRender;

namespace {

ShaderValue ValueOf(const PassUniform& uniform)
{
    if (uniform.values.size() == 1)
        return ShaderValue::Float(uniform.values[0]);
    if (uniform.values.size() == 16) {
        float matrix[16];
        std::memcpy(matrix, uniform.values.data(), sizeof matrix);
        return ShaderValue::Matrix(matrix);
    }
    return ShaderValue::Floats(uniform.values.data(), uniform.values.size());
}

} // namespace

PluginCompositor::PluginCompositor(IRender& render, const FramePlan& plan) : _render(render), _plan(plan)
{
    for (const PlanTexture& source : plan.textures) {
        _sources.push_back(Texture(source.image.width, source.image.height));
        _render.SetResourceData(source.image.pixels.data(), _sources.back());
    }
    for (const PixelRect& size : plan.intermediates)
        _intermediates.push_back(Texture(size.width, size.height));
    _frame = Texture(plan.width, plan.height);
    _readBack = boost::dynamic_pointer_cast<IResTextureCPU>(
        _render.CreateResourceCPU(ImageSettings(rtTextureCPU, plan.width, plan.height)));

    for (const PlanProgram& program : plan.programs)
        _shaders.push_back(Shader(program));
    for (const Pass& pass : plan.passes) {
        const std::array<float, 12> corners = ClipSpaceCorners(pass.rect, pass.targetWidth, pass.targetHeight);
        _positions.push_back(CreateBuffer(_render, bkPositions, 3, 4, corners.data()));
    }
    _texCoords = CreateBuffer(_render, bkTexCoordsSized, 2, 4, CornerTexCoords);
    _indices = CreateBuffer(_render, bkIndices, 1, 6, CornerIndices);

    for (BlendMode mode : AllBlendModes) {
        const BlendFactors factors = FactorsOf(mode);
        BlendSettings blend;
        blend.enableBlending = factors.enabled;
        blend.srcColorFactor = factors.sourceColour;
        blend.dstColorFactor = factors.destinationColour;
        blend.srcAlphaFactor = factors.sourceAlpha;
        blend.dstAlphaFactor = factors.destinationAlpha;
        _blends.push_back(_render.CreateState(blend));
    }
    SamplerSettings sampler;
    sampler.minFiltering = sampler.maxFiltering = tfLinear;
    sampler.wrapHorizontal = sampler.wrapVertical = twClamp;
    _sampler = _render.CreateState(sampler);
}

boost::shared_ptr<IResTextureGPU> PluginCompositor::Texture(int width, int height)
{
    return boost::dynamic_pointer_cast<IResTextureGPU>(
        _render.CreateResourceGPU(ImageSettings(rtTextureGPU, width, height)));
}

boost::shared_ptr<IResShaderGPU> PluginCompositor::Shader(const PlanProgram& program)
{
    ShaderSettings settings;
    settings.vertexShaderCode = _plan.vertexSource;
    settings.pixelShaderCode = program.pixelSource;
    boost::shared_ptr<IResShaderGPU> shader =
        boost::dynamic_pointer_cast<IResShaderGPU>(_render.CreateResourceGPU(settings));
    // A program the plug-in cannot build is replaced by its error programs.
    ShaderSettings built;
    shader->GetSettings(built);
    if (built.pixelShaderCode != settings.pixelShaderCode || built.vertexShaderCode != settings.vertexShaderCode)
        throw HostFailure("the plug-in could not build the shader of " + program.label +
                          " and fell back to its error programs (set VELTRA_LOG=293:0-5 to see why)");
    return shader;
}

boost::shared_ptr<IResTextureGPU> PluginCompositor::TextureOf(const TextureRef& texture) const
{
    return texture.intermediate ? _intermediates[texture.index] : _sources[texture.index];
}

void PluginCompositor::UploadLiveSources()
{
    for (size_t i = 0; i < _plan.textures.size(); ++i)
        if (_plan.textures[i].live)
            _render.SetResourceData(_plan.textures[i].image.pixels.data(), _sources[i]);
}

void PluginCompositor::Draw(double time)
{
    for (int unit = 0; unit < _plan.samplerUnits; ++unit)
        _render.SelectState(_sampler, unit);
    // Passes come grouped by target: each target is bound and cleared once.
    int target = -2;
    boost::shared_ptr<IResTextureGPU> bound;
    for (size_t i = 0; i < _plan.passes.size(); ++i) {
        const Pass& pass = _plan.passes[i];
        if (pass.target != target) {
            if (bound)
                _render.DeSelectResource(bound, 0);
            target = pass.target;
            bound = target < 0 ? _frame : _intermediates[target];
            _render.TargetResource(bound, 0);
            _render.Clear(0);
        }
        _render.SelectState(_blends[static_cast<size_t>(pass.blend)], 0);
        const boost::shared_ptr<IResShaderGPU>& shader = _shaders[pass.program];
        _render.SelectResource(shader, 0);
        for (const PassUniform& uniform : UniformsAt(pass, time))
            shader->SetPixelParameter(uniform.name, ValueOf(uniform));
        for (const SamplerBinding& sampler : pass.samplers)
            _render.SelectResource(TextureOf(sampler.texture), sampler.unit);
        _render.SelectResource(_positions[i], 0);
        _render.SelectResource(_texCoords, 0);
        _render.SelectResource(_indices, 0);
        _render.Draw();
        _render.DeSelectResource(_indices, 0);
        _render.DeSelectResource(_texCoords, 0);
        _render.DeSelectResource(_positions[i], 0);
        for (const SamplerBinding& sampler : pass.samplers)
            _render.DeSelectResource(TextureOf(sampler.texture), sampler.unit);
        _render.DeSelectResource(shader, 0);
    }
    if (bound)
        _render.DeSelectResource(bound, 0);
}

Image PluginCompositor::ReadFrame()
{
    _render.TransferResource(_frame, _readBack);
    const LockedMemory locked = _render.LockResource(_readBack);
    Image image(_plan.width, _plan.height);
    if (!locked.bits) {
        _render.UnlockResource(_readBack);
        throw HostFailure("the frame could not be read back: LockResource mapped nothing");
    }
    const size_t row = size_t(_plan.width) * 4;
    CopyRows(image.pixels.data(), row, locked.bits, locked.pitch, row, size_t(_plan.height));
    _render.UnlockResource(_readBack);
    return image;
}
