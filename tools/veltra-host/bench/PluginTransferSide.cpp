#include "bench/PluginTransferSide.h"

#include "common/HostErrors.h"
#include "common/RowCopy.h"
#include "common/Timing.h"
#include "plugin/PluginHost.h"
#include "scene/EffectLibrary.h"
#include "scene/FramePlan.h"

#include <boost/pointer_cast.hpp>

using namespace VeltraRender;

PluginTransferSide::PluginTransferSide(IRender& render, int width, int height)
    : _render(render), _width(width), _height(height)
{
    _texture = boost::dynamic_pointer_cast<IResTextureGPU>(render.CreateResourceGPU(ImageSettings(rtTextureGPU, width, height)));
    _targets.push_back(MakeTarget(width / ProbeBlock, height / ProbeBlock));
    ShaderSettings shader;
    shader.vertexShaderCode = PassVertexProgram;
    shader.pixelShaderCode = TransferPixelProgram;
    _shader = boost::dynamic_pointer_cast<IResShaderGPU>(render.CreateResourceGPU(shader));
    _texCoords = CreateBuffer(render, bkTexCoordsSized, 2, 4, CornerTexCoords);
    _indices = CreateBuffer(render, bkIndices, 1, 6, CornerIndices);
    _pointSampling = render.CreateState(SamplerSettings());  // point sampling, clamped to the edge
    _noBlending = render.CreateState(BlendSettings());
    if (!_texture || !_shader || !_texCoords || !_indices || !_pointSampling || !_noBlending)
        throw HostFailure("the plug-in could not make the transfer rows' resources");
}

PluginTransferSide::Target PluginTransferSide::MakeTarget(int width, int height)
{
    Target target;
    target.width = width;
    target.height = height;
    target.texture =
        boost::dynamic_pointer_cast<IResTextureGPU>(_render.CreateResourceGPU(ImageSettings(rtTextureGPU, width, height)));
    target.readBack =
        boost::dynamic_pointer_cast<IResTextureCPU>(_render.CreateResourceCPU(ImageSettings(rtTextureCPU, width, height)));
    const std::array<float, 12> corners = ClipSpaceCorners({0, 0, width, height}, width, height);
    target.positions = CreateBuffer(_render, bkPositions, 3, 4, corners.data());
    if (!target.texture || !target.readBack || !target.positions)
        throw HostFailure("the plug-in could not make the transfer rows' targets");
    return target;
}

int PluginTransferSide::AddFrame()
{
    _targets.push_back(MakeTarget(_width, _height));
    return static_cast<int>(_targets.size()) - 1;
}

void PluginTransferSide::Upload(const void* pixels)
{
    _render.SetResourceData(pixels, _texture);
}

void PluginTransferSide::Draw(int which)
{
    const Target& target = _targets.at(size_t(which));
    _render.TargetResource(target.texture, 0);
    _render.SelectState(_noBlending, 0);
    _render.SelectState(_pointSampling, 0);
    _render.SelectResource(_shader, 0);
    _render.SelectResource(_texture, 0);
    _render.SelectResource(target.positions, 0);
    _render.SelectResource(_texCoords, 0);
    _render.SelectResource(_indices, 0);
    _render.Draw();
    _render.DeSelectResource(_indices, 0);
    _render.DeSelectResource(_texCoords, 0);
    _render.DeSelectResource(target.positions, 0);
    _render.DeSelectResource(_texture, 0);
    _render.DeSelectResource(_shader, 0);
    _render.DeSelectResource(target.texture, 0);
    _render.Flush(true);
}

void PluginTransferSide::ReadBack(int which, void* pixels, double* lockAndCopy)
{
    const Target& target = _targets.at(size_t(which));
    _render.TransferResource(target.texture, target.readBack);
    const double start = Now();
    const LockedMemory locked = _render.LockResource(target.readBack);
    if (locked.bits) {
        const size_t row = size_t(target.width) * 4;
        CopyRows(pixels, row, locked.bits, locked.pitch, row, size_t(target.height));
    }
    _render.UnlockResource(target.readBack);
    if (lockAndCopy)
        *lockAndCopy = Now() - start;
    if (!locked.bits)
        throw HostFailure("bench: LockResource of the plug-in's CPU texture mapped nothing");
}
