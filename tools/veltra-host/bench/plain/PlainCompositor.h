// The same frame plan drawn as plain Direct3D 9 calls, for the benchmark: the
// textures, uploads, shaders, states, draws and read-back the plug-in would make,
// issued directly on the benchmark's own device.
#pragma once

#include "bench/plain/PlainDirect3D.h"
#include "common/ComReference.h"
#include "scene/FramePlan.h"

#include <vector>

class PlainCompositor {
public:
    PlainCompositor(PlainDirect3D& direct3D, const FramePlan& plan);

    void UploadLiveSources();
    void Draw(double time);
    Image ReadFrame();

private:
    ComReference<IDirect3DTexture9> Texture(int width, int height);
    void Upload(const Image& image, IDirect3DTexture9* texture);
    IDirect3DTexture9* TextureOf(const TextureRef& texture) const;
    void SetBlend(BlendMode mode);

    IDirect3DDevice9Ex* _device;
    const FramePlan& _plan;
    std::vector<ComReference<IDirect3DTexture9>> _sources;
    std::vector<ComReference<IDirect3DTexture9>> _intermediates;
    ComReference<IDirect3DTexture9> _frame;
    ComReference<IDirect3DTexture9> _readBack;
    ComReference<IDirect3DVertexShader9> _vertexShader;
    std::vector<ComReference<IDirect3DPixelShader9>> _pixelShaders;
    std::vector<ComReference<IDirect3DVertexBuffer9>> _positions;
    ComReference<IDirect3DVertexBuffer9> _texCoords;
    ComReference<IDirect3DIndexBuffer9> _indices;
    ComReference<IDirect3DVertexDeclaration9> _declaration;
};
