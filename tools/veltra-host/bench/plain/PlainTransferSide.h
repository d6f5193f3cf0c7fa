// The transfer rows' work as plain Direct3D 9Ex calls on the benchmark's own device:
// the same textures, programs, geometry and states as the plug-in's side, with the
// plug-in's way of uploading (a system-memory texture over the host's pixels) and,
// as a reference, an upload through one system-memory texture kept for every upload.
#pragma once

#include "bench/TransferSide.h"
#include "bench/plain/PlainDirect3D.h"
#include "common/ComReference.h"

#include <vector>

class PlainTransferSide : public TransferSide {
public:
    PlainTransferSide(PlainDirect3D& direct3D, int shaderLevel, int width, int height);

    int AddFrame() override;
    void Upload(const void* pixels) override;
    void Draw(int target) override;
    void ReadBack(int target, void* pixels, double* lockAndCopy) override;
    // The reference: the pixels copied into the kept system-memory texture, then
    // UpdateSurface into the texture.
    void UploadThroughKeptTexture(const void* pixels);
    // How long each Upload's CreateTexture over the host's pixels took, in seconds.
    std::vector<double>& CreationSeconds() { return _creations; }

private:
    struct Target {
        int width = 0, height = 0;
        ComReference<IDirect3DTexture9> texture, readBack;
        ComReference<IDirect3DVertexBuffer9> positions;
    };
    Target MakeTarget(int width, int height);

    PlainDirect3D& _direct3D;
    IDirect3DDevice9Ex* _device;
    int _width, _height;
    ComReference<IDirect3DTexture9> _texture, _kept;
    std::vector<Target> _targets;  // the probe, then the frames
    ComReference<IDirect3DVertexShader9> _vertexShader;
    ComReference<IDirect3DPixelShader9> _pixelShader;
    ComReference<IDirect3DVertexBuffer9> _texCoords;
    ComReference<IDirect3DIndexBuffer9> _indices;
    ComReference<IDirect3DVertexDeclaration9> _declaration;
    ComReference<IDirect3DQuery9> _finished;
    std::vector<double> _creations;
};
