// Frames of many small draws (titles, particles, text by the glyph), where the cost of
// each draw is the frame's time. Through the plug-in every draw is the host's pattern:
// SelectResource of its positions and of the shared indices, Draw, DeSelectResource of
// both, with one shader bound for the frame. The floor is what a careful engine writes
// with plain Direct3D 9: the declaration made once, SetStreamSource + SetIndices +
// DrawIndexedPrimitive per draw, one BeginScene for the frame. A second floor makes the
// calls the plug-in makes for every draw (SetVertexDeclaration, BeginScene, EndScene
// around each one): what the plug-in costs beyond its Direct3D calls. All wait for the
// GPU at the end of the frame. After every pair, outside the clock, each frame's target
// is read back and checked: every quad's four pixels drawn, nothing else.
#include "bench/Bench.h"

#include "bench/plain/PlainDirect3D.h"
#include "bench/plain/PlainTransfers.h"
#include "common/RowCopy.h"
#include "common/HostErrors.h"
#include "common/Timing.h"
#include "plugin/PluginHost.h"
#include "scene/CgCompiler.h"
#include "scene/Image.h"

#include <boost/pointer_cast.hpp>

#include <algorithm>
#include <array>

using namespace VeltraRender;

namespace {

const int TargetWidth = 256, TargetHeight = 64;
const int QuadsPerRow = 100;  // 2 x 2 quads, two pixels apart: 2 000 of them fill 200 x 40 pixels
const char* const VertexSource = "float4 main(float4 p : POSITION) : POSITION { return p; }";
const char* const PixelSource = "float4 main() : COLOR { return float4(1, 0.5, 0.25, 1); }";
const uint32_t QuadIndices[6] = {0, 1, 2, 2, 1, 3};

// The corners of quad `n` in clip space: top left, top right, bottom left, bottom right.
std::array<float, 12> QuadCorners(int n)
{
    const int slot = n % (QuadsPerRow * (TargetHeight / 2));
    const float left = float(slot % QuadsPerRow * 2), top = float(slot / QuadsPerRow * 2);
    const float x0 = left / TargetWidth * 2 - 1, x1 = (left + 2) / TargetWidth * 2 - 1;
    const float y0 = 1 - top / TargetHeight * 2, y1 = 1 - (top + 2) / TargetHeight * 2;
    return {x0, y0, 0, x1, y0, 0, x0, y1, 0, x1, y1, 0};
}

class PluginDraws {
public:
    PluginDraws(IRender& render, int draws) : _render(render)
    {
        ShaderSettings shader;
        shader.vertexShaderCode = VertexSource;
        shader.pixelShaderCode = PixelSource;
        _shader = boost::dynamic_pointer_cast<IResShaderGPU>(render.CreateResourceGPU(shader));
        _indices = CreateBuffer(render, bkIndices, 1, 6, QuadIndices);
        for (int n = 0; n < draws; ++n)
            _positions.push_back(CreateBuffer(render, bkPositions, 3, 4, QuadCorners(n).data()));
        _target = boost::dynamic_pointer_cast<IResTextureGPU>(
            render.CreateResourceGPU(ImageSettings(rtTextureGPU, TargetWidth, TargetHeight)));
        _noDepthTest = render.CreateState(DepthSettings());  // as the plain frame: no depth test
        _readBack = boost::dynamic_pointer_cast<IResTextureCPU>(
            render.CreateResourceCPU(ImageSettings(rtTextureCPU, TargetWidth, TargetHeight)));
        if (!_shader || !_indices || !_target || !_readBack || !_noDepthTest)
            throw HostFailure("the plug-in could not make the draw-heavy frame's resources");
    }

    double Frame()
    {
        const double start = Now();
        _render.TargetResource(_target, 0);
        _render.Clear(0);
        _render.SelectState(_noDepthTest, 0);
        _render.SelectResource(_shader, 0);
        for (const boost::shared_ptr<IResBufferGPU>& positions : _positions) {
            _render.SelectResource(positions, 0);
            _render.SelectResource(_indices, 0);
            _render.Draw();
            _render.DeSelectResource(_indices, 0);
            _render.DeSelectResource(positions, 0);
        }
        _render.DeSelectResource(_shader, 0);
        _render.DeSelectResource(_target, 0);
        _render.Flush(true);
        return Now() - start;
    }

    std::vector<uint32_t> Pixels()
    {
        _render.TransferResource(_target, _readBack);
        const LockedMemory locked = _render.LockResource(_readBack);
        std::vector<uint32_t> pixels(size_t(TargetWidth) * TargetHeight);
        if (locked.bits)
            CopyRows(pixels.data(), TargetWidth * 4, locked.bits, locked.pitch, TargetWidth * 4, TargetHeight);
        _render.UnlockResource(_readBack);
        return pixels;
    }

private:
    IRender& _render;
    boost::shared_ptr<IResShaderGPU> _shader;
    boost::shared_ptr<IResBufferGPU> _indices;
    std::vector<boost::shared_ptr<IResBufferGPU>> _positions;
    boost::shared_ptr<IResTextureGPU> _target;
    boost::shared_ptr<IResTextureCPU> _readBack;
    boost::shared_ptr<IState> _noDepthTest;
};

class PlainDraws {
public:
    PlainDraws(PlainDirect3D& direct3D, int shaderLevel, int draws) : _device(direct3D.Device())
    {
        CgCompiler cg(shaderLevel);
        _vertexShader = direct3D.VertexShader(cg.CompileVertex(VertexSource));
        _pixelShader = direct3D.PixelShader(cg.CompilePixel(PixelSource));
        const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                              D3DDECL_END()};
        CheckPlain(_device->CreateVertexDeclaration(elements, _declaration.Receive()), "CreateVertexDeclaration");
        _indices = direct3D.IndexBuffer(QuadIndices, sizeof QuadIndices);
        for (int n = 0; n < draws; ++n) {
            const std::array<float, 12> corners = QuadCorners(n);
            _positions.push_back(direct3D.VertexBuffer(corners.data(), sizeof corners));
        }
        for (ComReference<IDirect3DTexture9>& target : _targets)
            target = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, TargetWidth, TargetHeight, false));
        _readBack = ComReference<IDirect3DTexture9>(CreatePlainTexture(_device, TargetWidth, TargetHeight, true));
        CheckPlain(_device->CreateQuery(D3DQUERYTYPE_EVENT, _finished.Receive()), "CreateQuery");
    }

    // `asThePlugin`: the declaration set and a scene begun and ended for every draw.
    // Each kind of frame draws into a target of its own.
    double Frame(bool asThePlugin)
    {
        const double start = Now();
        ComReference<IDirect3DSurface9> surface;
        CheckPlain(_targets[asThePlugin]->GetSurfaceLevel(0, surface.Receive()), "GetSurfaceLevel");
        _device->SetRenderTarget(0, surface.Get());
        _device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        _device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        _device->SetVertexDeclaration(_declaration.Get());
        _device->SetVertexShader(_vertexShader.Get());
        _device->SetPixelShader(_pixelShader.Get());
        if (!asThePlugin)
            _device->BeginScene();
        for (const ComReference<IDirect3DVertexBuffer9>& positions : _positions) {
            if (asThePlugin)
                _device->SetVertexDeclaration(_declaration.Get());
            _device->SetStreamSource(0, positions.Get(), 0, 3 * sizeof(float));
            _device->SetIndices(_indices.Get());
            if (asThePlugin)
                _device->BeginScene();
            _device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
            if (asThePlugin)
                _device->EndScene();
        }
        if (!asThePlugin)
            _device->EndScene();
        WaitForGpu(_finished.Get());
        return Now() - start;
    }

    std::vector<uint32_t> Pixels(bool asThePlugin)
    {
        std::vector<uint32_t> pixels(size_t(TargetWidth) * TargetHeight);
        ReadRenderTarget(_device, _targets[asThePlugin].Get(), _readBack.Get(), pixels.data(), TargetWidth, TargetHeight);
        return pixels;
    }

private:

    IDirect3DDevice9Ex* _device;
    ComReference<IDirect3DVertexShader9> _vertexShader;
    ComReference<IDirect3DPixelShader9> _pixelShader;
    ComReference<IDirect3DVertexDeclaration9> _declaration;
    ComReference<IDirect3DIndexBuffer9> _indices;
    std::vector<ComReference<IDirect3DVertexBuffer9>> _positions;
    ComReference<IDirect3DTexture9> _targets[2];
    ComReference<IDirect3DTexture9> _readBack;
    ComReference<IDirect3DQuery9> _finished;
};


// What every frame's target holds: the colour of PixelSource on the four pixels of each
// quad drawn, nothing elsewhere.
std::vector<uint32_t> QuadsDrawn(int draws)
{
    const uint32_t colour = 0xFFFF8040;  // (1, 0.5, 0.25, 1) as A8R8G8B8
    std::vector<uint32_t> pixels(size_t(TargetWidth) * TargetHeight, 0);
    for (int n = 0; n < draws; ++n) {
        const int slot = n % (QuadsPerRow * (TargetHeight / 2));
        const int left = slot % QuadsPerRow * 2, top = slot / QuadsPerRow * 2;
        for (int y = top; y < top + 2; ++y)
            for (int x = left; x < left + 2; ++x)
                pixels[size_t(y) * TargetWidth + x] = colour;
    }
    return pixels;
}

// Throws HostFailure when `pixels` are not the quads drawn; a channel may be one off
// (0.5 of 255 rounds either way).
void CheckQuads(int pair, const char* frame, const std::vector<uint32_t>& pixels, const std::vector<uint32_t>& expected)
{
    size_t wrong = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        wrong += LargestChannelDifference({pixels[i]}, {expected[i]}) > 1;
    if (wrong)
        throw HostFailure("bench: pair " + std::to_string(pair + 1) + ", draw-heavy, " + frame + ": " +
                          std::to_string(wrong) + " pixels differ from the quads drawn");
}

BenchRow DrawRow(const BenchSettings& settings, const std::string& label, double goal)
{
    BenchRow row;
    row.kind = "draws";
    row.label = "draw-heavy: " + std::to_string(settings.draws) + " draws of a 2 x 2 quad" + label;
    row.ratio = RatioKind::Time;
    row.goal = goal;
    row.scale = 1e9 / settings.draws;
    row.unit = "ns a draw";
    return row;
}

} // namespace

std::vector<BenchRow> MeasureDraws(const BenchSettings& settings)
{
    BenchRow row = DrawRow(settings, "", 1.15);
    BenchRow sameCalls = DrawRow(settings, ", plain making the plug-in's calls", 0);
    PluginHost plugin;
    IRender& render = plugin.Start(nullptr, TargetWidth, TargetHeight);
    PlainDirect3D direct3D;
    {
        PluginDraws viaPlugin(render, settings.draws);
        PlainDraws plain(direct3D, render.GetShaderLevel(), settings.draws);
        viaPlugin.Frame();  // first frames pay for first use
        plain.Frame(false);
        plain.Frame(true);
        const std::vector<uint32_t> expected = QuadsDrawn(settings.draws);
        int pair = 0;
        Interleaved(settings, row.label, [&](bool pluginFirst) {
            if (pluginFirst)
                row.plugin.push_back(viaPlugin.Frame());
            row.plain.push_back(plain.Frame(false));
            sameCalls.plain.push_back(plain.Frame(true));
            if (!pluginFirst)
                row.plugin.push_back(viaPlugin.Frame());
            CheckQuads(pair, "the plug-in", viaPlugin.Pixels(), expected);
            CheckQuads(pair, "plain Direct3D 9", plain.Pixels(false), expected);
            CheckQuads(pair, "plain Direct3D 9 making the plug-in's calls", plain.Pixels(true), expected);
            ++pair;
        });
        sameCalls.plugin = row.plugin;
        const std::vector<uint32_t> pluginPixels = viaPlugin.Pixels(), plainPixels = plain.Pixels(false);
        const size_t covered = plainPixels.size() - size_t(std::count(plainPixels.begin(), plainPixels.end(), 0u));
        row.details = {{"draws", settings.draws},
                       {"largestChannelDifference", LargestChannelDifference(pluginPixels, plainPixels)},
                       {"coveredPixels", covered},
                       {"checked", "pixels checked after each of " + std::to_string(pair) +
                                       " pairs, on all three frames: the four pixels of every quad drawn, nothing else"}};
    }
    plugin.Stop();
    return {row, sameCalls};
}
