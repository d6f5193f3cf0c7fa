// The transfer rows' work through the plug-in's IRender, as a host does it: a GPU
// texture filled by SetResourceData, drawn from its host buffers with a shader and a
// sampler state, Flush(true), and TransferResource into a CPU texture read with
// LockResource.
#pragma once

#include "bench/TransferSide.h"

#include <VeltraRender/VeltraRender.h>

#include <boost/shared_ptr.hpp>
#include <vector>

class PluginTransferSide : public TransferSide {
public:
    PluginTransferSide(VeltraRender::IRender& render, int width, int height);

    int AddFrame() override;
    void Upload(const void* pixels) override;
    void Draw(int target) override;
    void ReadBack(int target, void* pixels, double* lockAndCopy) override;

private:
    struct Target {
        int width = 0, height = 0;
        boost::shared_ptr<VeltraRender::IResTextureGPU> texture;
        boost::shared_ptr<VeltraRender::IResTextureCPU> readBack;
        boost::shared_ptr<VeltraRender::IResBufferGPU> positions;
    };
    Target MakeTarget(int width, int height);

    VeltraRender::IRender& _render;
    int _width, _height;
    boost::shared_ptr<VeltraRender::IResTextureGPU> _texture;
    std::vector<Target> _targets;  // the probe, then the frames
    boost::shared_ptr<VeltraRender::IResShaderGPU> _shader;
    boost::shared_ptr<VeltraRender::IResBufferGPU> _texCoords, _indices;
    boost::shared_ptr<VeltraRender::IState> _pointSampling, _noBlending;
};
