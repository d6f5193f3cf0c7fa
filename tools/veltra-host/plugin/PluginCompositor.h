// Draws a frame plan through the plug-in's IRender, and nothing else: textures,
// shaders, buffers and states are the plug-in's resources, made once; each frame
// uploads the live sources, draws every pass and leaves the result in the frame
// texture, which can be read back through a CPU texture or displayed.
#pragma once

#include "scene/FramePlan.h"

#include <VeltraRender/VeltraRender.h>

#include <boost/shared_ptr.hpp>
#include <vector>

class PluginCompositor {
public:
    PluginCompositor(VeltraRender::IRender& render, const FramePlan& plan);

    void UploadLiveSources();
    void Draw(double time);
    // The frame's premultiplied pixels, through TransferResource and LockResource.
    Image ReadFrame();
    boost::shared_ptr<VeltraRender::IResTextureGPU> Frame() const { return _frame; }

private:
    boost::shared_ptr<VeltraRender::IResTextureGPU> Texture(int width, int height);
    boost::shared_ptr<VeltraRender::IResShaderGPU> Shader(const PlanProgram& program);
    boost::shared_ptr<VeltraRender::IResTextureGPU> TextureOf(const TextureRef& texture) const;
    void DrawPass(const Pass& pass, double time);

    VeltraRender::IRender& _render;
    const FramePlan& _plan;
    std::vector<boost::shared_ptr<VeltraRender::IResTextureGPU>> _sources;
    std::vector<boost::shared_ptr<VeltraRender::IResTextureGPU>> _intermediates;
    boost::shared_ptr<VeltraRender::IResTextureGPU> _frame;
    boost::shared_ptr<VeltraRender::IResTextureCPU> _readBack;
    std::vector<boost::shared_ptr<VeltraRender::IResShaderGPU>> _shaders;
    std::vector<boost::shared_ptr<VeltraRender::IResBufferGPU>> _positions;  // one per pass
    boost::shared_ptr<VeltraRender::IResBufferGPU> _texCoords;
    boost::shared_ptr<VeltraRender::IResBufferGPU> _indices;
    std::vector<boost::shared_ptr<VeltraRender::IState>> _blends;  // by BlendMode
    boost::shared_ptr<VeltraRender::IState> _sampler;
};
