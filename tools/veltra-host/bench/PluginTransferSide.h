// The transfer rows' work through the plug-in's IRender, as a host does it: a GPU
// texture filled by SetResourceData, drawn from its host buffers with a shader and a
// sampler state, Flush(true), and TransferResource into a CPU texture read with
// LockResource.
#pragma once

#include "bench/TransferSide.h"

#include <VeltraRender/VeltraRender.h>

#include <boost/shared_ptr.hpp>

class PluginTransferSide : public TransferSide {
public:
    PluginTransferSide(VeltraRender::IRender& render, int width, int height);

    void Upload(const void* pixels) override;
    void Draw(TransferTarget target) override;
    void ReadBack(TransferTarget target, void* pixels) override;

private:
    struct Target {
        int width = 0, height = 0;
        boost::shared_ptr<VeltraRender::IResTextureGPU> texture;
        boost::shared_ptr<VeltraRender::IResTextureCPU> readBack;
        boost::shared_ptr<VeltraRender::IResBufferGPU> positions;
    };
    Target MakeTarget(int width, int height);
    const Target& Of(TransferTarget target) const { return target == TransferTarget::Probe ? _probe : _frame; }

    VeltraRender::IRender& _render;
    boost::shared_ptr<VeltraRender::IResTextureGPU> _texture;
    Target _probe, _frame;
    boost::shared_ptr<VeltraRender::IResShaderGPU> _shader;
    boost::shared_ptr<VeltraRender::IResBufferGPU> _texCoords, _indices;
    boost::shared_ptr<VeltraRender::IState> _pointSampling, _noBlending;
};
