#include "soak/SoakObjects.h"

#include "common/HostErrors.h"
#include "plugin/DisplayWindow.h"
#include "plugin/PluginHost.h"

#include <d3d9.h>

#include <boost/pointer_cast.hpp>
#include <cstring>
#include <thread>

using namespace VeltraRender;

namespace {

const int Width = 64, Height = 48;
// Every 25th cycle draws and reads back: enough to keep drawing in the loop, while the
// draws with objects new to the device (which wined3d and llvmpipe remember for a
// while) stay few.
const long DrawEvery = 25;
// What the platform keeps a shader cycle: Wine's D3DXAssembleShader 144 bytes per
// assembly (two a shader), a draw with a shader new to the device about 2 KiB.
const uint64_t ShaderAllowance = 512;

const char* const VertexProgram = R"(
uniform float4x4 ModelViewProjection;
float4 main(float4 position : POSITION) : POSITION { return mul(position, ModelViewProjection); }
)";
const char* const MeshVertexProgram = "float4 main(float4 position : POSITION) : POSITION { return position; }";
const char* const PixelProgram = "uniform float4 tint; float4 main() : COLOR { return tint; }";

// A8R8G8B8 pixel (x, y) of the test image: eight saturated colours, two alpha values.
uint32_t PatternPixel(int x, int y)
{
    static const uint32_t colours[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF, 0x000000};
    return ((x + y) % 2 ? 0xFF000000u : 0x7F000000u) | colours[(x + 3 * y) % 8];
}

// width x height pixels of the pattern, in rows of `rowBytes`.
std::vector<uint8_t> PatternImage(int width, int height, int rowBytes)
{
    std::vector<uint8_t> image(size_t(rowBytes) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = PatternPixel(x, y);
            std::memcpy(&image[size_t(y) * rowBytes + x * 4], &pixel, 4);
        }
    return image;
}

// Whether every pixel of the locked image is expected(x, y).
template <class Expected> bool Shows(const LockedMemory& locked, Expected expected)
{
    for (int y = 0; y < Height && locked.bits; ++y)
        for (int x = 0; x < Width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, static_cast<const uint8_t*>(locked.bits) + size_t(y) * locked.pitch + x * 4, 4);
            if (pixel != expected(x, y))
                return false;
        }
    return locked.bits != nullptr;
}

// Destroys through the render on even cycles and only drops the reference on odd ones.
template <class Resource> void Release(IRender& render, boost::shared_ptr<Resource>& resource, long cycle)
{
    if (cycle % 2 == 0)
        render.DestroyResource(boost::shared_ptr<IResource>(resource));
    resource.reset();
}

unsigned long References(IDirect3DDevice9* device)
{
    device->AddRef();
    return device->Release();
}

boost::shared_ptr<IResTextureGPU> CreateGpuTexture(IRender& render, int rowBytes)
{
    TextureSettings settings = ImageSettings(rtTextureGPU, Width, Height);
    settings.image.rowBytes = rowBytes;
    return boost::dynamic_pointer_cast<IResTextureGPU>(render.CreateResourceGPU(settings));
}

boost::shared_ptr<IResTextureCPU> CreateCpuTexture(IRender& render)
{
    return boost::dynamic_pointer_cast<IResTextureCPU>(render.CreateResourceCPU(ImageSettings(rtTextureCPU, Width, Height)));
}

// The object phases on one render: what they draw into and read back through is made once.
class ObjectSoak {
public:
    ObjectSoak(PluginHost& plugin, IRender& render, DisplayWindow& window)
        : _plugin(plugin), _render(render), _window(window), _device(render.GetDevice())
    {
        _target = CreateGpuTexture(render, Width * 4);
        _readBack = CreateCpuTexture(render);
        _shaderSettings.vertexShaderCode = VertexProgram;
        _shaderSettings.pixelShaderCode = PixelProgram;
        ShaderSettings mesh = _shaderSettings;
        mesh.vertexShaderCode = MeshVertexProgram;
        _meshShader = boost::dynamic_pointer_cast<IResShaderGPU>(render.CreateResourceGPU(mesh));
        const float white[4] = {1, 1, 1, 1};
        _meshShader->SetPixelParameter("tint", ShaderValue::Floats(white, 4));
        const uint32_t quad[6] = {0, 1, 2, 0, 2, 3};
        _lastingIndices = CreateBuffer(render, bkIndices, 0, 6, quad);
    }

    ~ObjectSoak()
    {
        for (const boost::shared_ptr<IResource>& resource :
             {boost::shared_ptr<IResource>(_target), boost::shared_ptr<IResource>(_readBack),
              boost::shared_ptr<IResource>(_meshShader), boost::shared_ptr<IResource>(_lastingIndices)})
            _render.DestroyResource(resource);
    }

    std::vector<SoakPhase> Run(long cycles, Progress& progress)
    {
        std::vector<SoakPhase> phases;
        const auto run = [&](const char* name, uint64_t allowance, void (ObjectSoak::*cycle)(long, SoakPhase&)) {
            SoakPhase phase;
            phase.name = name;
            phase.cycles = cycles;
            phase.allowance = allowance;
            phase.references = [this] { return References(_device); };
            // Before each sample the render's bindings go back to the lasting objects, so
            // that the objects of the last cycle are not counted as kept.
            const auto housekeeping = [this] {
                _render.ReleaseExtraMemory();
                BindLastingObjects();
            };
            RunPhase(phase, [&](long c, SoakPhase& p) { (this->*cycle)(c, p); }, housekeeping, progress);
            phase.referencesAfter = References(_device);
            phases.push_back(phase);
        };
        run("vertex + index buffers", 0, &ObjectSoak::Buffers);
        run("shaders", ShaderAllowance, &ObjectSoak::Shaders);
        run("GPU textures + upload", 0, &ObjectSoak::GpuTextures);
        run("CPU textures + lock", 0, &ObjectSoak::CpuTextures);
        run("states (5 kinds)", 0, &ObjectSoak::States);
        run("renders joining device", 0, &ObjectSoak::JoiningRenders);
        return phases;
    }

private:
    // A render keeps its last index buffer and shader bound (and alive) until the next
    // selection of the kind: the phase's last objects give way to lasting ones.
    void BindLastingObjects()
    {
        _render.SelectResource(_meshShader, 0);
        _render.SelectResource(_lastingIndices, 0);
        _render.DeSelectResource(_lastingIndices, 0);
        _render.DeSelectResource(_meshShader, 0);
    }

    bool TargetIs(uint32_t colour)
    {
        _render.Flush(true);  // as a host's frame ends
        _render.TransferResource(_target, _readBack);
        const bool same = Shows(_render.LockResource(_readBack), [colour](int, int) { return colour; });
        _render.UnlockResource(_readBack);
        return same;
    }

    void Buffers(long c, SoakPhase& phase)
    {
        const bool draw = c % DrawEvery == 0;
        const float wholeTarget[12] = {-1, -1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f, -1, 1, 0.5f};
        float positions[12], changed[12];
        for (int i = 0; i < 12; ++i) {
            positions[i] = static_cast<float>((c + i) % 7) / 8 - 0.4f;
            changed[i] = draw ? wholeTarget[i] : -positions[i];
        }
        const uint32_t indices[6] = {0, 1, 2, 0, 2, static_cast<uint32_t>(draw ? 3 : 3 - c % 2)};
        auto vertices = CreateBuffer(_render, bkPositions, 3, 4, positions);
        auto triangles = CreateBuffer(_render, bkIndices, 0, 6, indices);
        _render.SetResourceData(changed, vertices);
        const LockedMemory lockedVertices = _render.LockResource(vertices);
        const bool sameVertices = lockedVertices.bits && std::memcmp(lockedVertices.bits, changed, sizeof changed) == 0;
        _render.UnlockResource(vertices);
        const LockedMemory lockedIndices = _render.LockResource(triangles);
        const bool sameIndices = lockedIndices.bits && std::memcmp(lockedIndices.bits, indices, sizeof indices) == 0;
        _render.UnlockResource(triangles);
        if (!sameVertices || !sameIndices)
            phase.Fail(c, "buffer contents did not read back");
        _render.TargetResource(_target, 0);
        _render.Clear(0);
        _render.SelectResource(_meshShader, 0);
        _render.SelectResource(vertices, 0);
        _render.SelectResource(triangles, 0);
        if (draw)
            _render.Draw();
        _render.DeSelectResource(triangles, 0);
        _render.DeSelectResource(vertices, 0);
        _render.DeSelectResource(_meshShader, 0);
        _render.DeSelectResource(_target, 0);
        if (draw && !TargetIs(0xFFFFFFFFu))
            phase.Fail(c, "the quad drawn with the buffers did not cover the target in white");
        Release(_render, vertices, c);
        Release(_render, triangles, c);
    }

    void Shaders(long c, SoakPhase& phase)
    {
        auto shader = boost::dynamic_pointer_cast<IResShaderGPU>(_render.CreateResourceGPU(_shaderSettings));
        const float tint[4] = {static_cast<float>(c % 2), 0, 1, 1};
        shader->SetPixelParameter("tint", ShaderValue::Floats(tint, 4));
        _render.SelectResource(shader, 0);
        _render.DeSelectResource(shader, 0);
        if (c % DrawEvery == 0) {
            _render.TargetResource(_target, 0);
            _render.SelectResource(shader, 0);
            _render.DrawQuad();  // covers the target
            _render.DeSelectResource(shader, 0);
            _render.DeSelectResource(_target, 0);
            if (!TargetIs(c % 2 ? 0xFFFF00FFu : 0xFF0000FFu))
                phase.Fail(c, "the shader's tint did not land");
        }
        Release(_render, shader, c);
    }

    void GpuTextures(long c, SoakPhase& phase)
    {
        // Odd cycles: the host's rows are the texture's, which 9Ex uploads from the
        // host's memory. Even cycles: longer rows, copied row by row, from column `shift`.
        const int rowBytes = c % 2 ? Width * 4 : (Width + 8) * 4;
        const int shift = c % 2 ? 0 : static_cast<int>(c / 2 % 8);
        const std::vector<uint8_t> image = PatternImage(rowBytes / 4, Height, rowBytes);
        auto texture = CreateGpuTexture(_render, rowBytes);
        _render.SetResourceData(image.data() + shift * 4, texture);
        _render.TransferResource(texture, _readBack);
        if (!Shows(_render.LockResource(_readBack), [shift](int x, int y) { return PatternPixel(x + shift, y); }))
            phase.Fail(c, "the uploaded image did not read back");
        _render.UnlockResource(_readBack);
        Release(_render, texture, c);
    }

    void CpuTextures(long c, SoakPhase& phase)
    {
        // Every other texture is made after a GPU texture's settings.
        auto texture = c % 2 ? boost::dynamic_pointer_cast<IResTextureCPU>(
                                   _render.CreateResourceCPU(boost::shared_ptr<IResource>(_target)))
                             : CreateCpuTexture(_render);
        LockedMemory locked = _render.LockResource(texture);
        for (int y = 0; y < Height && locked.bits; ++y)
            std::memset(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, static_cast<int>(c & 0xFF), Width * 4);
        _render.UnlockResource(texture);
        const std::vector<uint8_t> image = PatternImage(Width, Height, Width * 4);
        _render.SetResourceData(image.data(), texture);
        if (!Shows(_render.LockResource(texture), PatternPixel))
            phase.Fail(c, "the image set into the CPU texture did not read back");
        _render.UnlockResource(texture);
        Release(_render, texture, c);
    }

    void States(long c, SoakPhase&)
    {
        RasterSettings raster;
        raster.fillMode = c % 2 ? fmSolid : fmWireframe;
        DepthSettings depth;
        depth.depthTest = c % 2 == 0;
        StencilSettings stencil;
        stencil.enable = c % 2 == 0;
        BlendSettings blend;
        blend.enableBlending = c % 2 == 0;
        SamplerSettings sampler;
        sampler.minFiltering = static_cast<uint32_t>(c % 3);
        for (const ResourceHeader* settings : {static_cast<const ResourceHeader*>(&raster),
                                               static_cast<const ResourceHeader*>(&depth),
                                               static_cast<const ResourceHeader*>(&stencil),
                                               static_cast<const ResourceHeader*>(&blend),
                                               static_cast<const ResourceHeader*>(&sampler)}) {
            boost::shared_ptr<IState> state = _render.CreateState(*settings);
            _render.SelectState(state, static_cast<int32_t>(c % 8));
            Release(_render, state, c);
        }
        // Back to what the other phases draw with.
        for (const ResourceHeader* settings :
             {static_cast<const ResourceHeader*>(&_noCulling), static_cast<const ResourceHeader*>(&_noDepth),
              static_cast<const ResourceHeader*>(&_noStencil), static_cast<const ResourceHeader*>(&_noBlending)})
            _render.SelectState(_render.CreateState(*settings), 0);
    }

    void JoiningRenders(long c, SoakPhase& phase)
    {
        boost::shared_ptr<IRender> joining = _plugin.NewRender(c % 2 ? _window.Handle() : nullptr, Width, Height);
        if (!joining || joining->GetDevice() != _device)
            phase.Fail(c, "Initialize did not join the shared device");
        if (joining && !joining->Shutdown())
            phase.Fail(c, "Shutdown failed");
    }

    PluginHost& _plugin;
    IRender& _render;
    DisplayWindow& _window;
    IDirect3DDevice9* _device;
    boost::shared_ptr<IResTextureGPU> _target;
    boost::shared_ptr<IResTextureCPU> _readBack;
    ShaderSettings _shaderSettings;
    const RasterSettings _noCulling;
    const DepthSettings _noDepth;
    const StencilSettings _noStencil;
    const BlendSettings _noBlending;
    boost::shared_ptr<IResShaderGPU> _meshShader;
    boost::shared_ptr<IResBufferGPU> _lastingIndices;
};

} // namespace

std::vector<SoakPhase> SoakObjects(PluginHost& plugin, long cycles, Progress& progress)
{
    DisplayWindow window(Width, Height, "veltra-host soak");
    IRender& render = plugin.Start(nullptr, Width, Height);
    std::vector<SoakPhase> phases;
    {
        ObjectSoak soak(plugin, render, window);
        phases = soak.Run(cycles, progress);
    }
    IDirect3D9* direct3D = nullptr;
    render.GetDevice()->GetDirect3D(&direct3D);
    plugin.Stop();
    if (direct3D && direct3D->Release() != 0)
        phases.back().Fail(cycles, "the last Shutdown left Direct3D referenced");
    return phases;
}

SoakPhase SoakLifecycles(PluginHost& plugin, long lifecycles, Progress& progress)
{
    DisplayWindow window(Width, Height, "veltra-host soak");
    SoakPhase phase;
    phase.name = "only render (device)";
    phase.cycles = lifecycles;
    RunPhase(
        phase,
        [&](long c, SoakPhase& p) {
            boost::shared_ptr<IRender> render = plugin.NewRender(window.Handle(), Width, Height);
            if (!render) {
                p.Fail(c, "Initialize failed");
                return;
            }
            IDirect3D9* direct3D = nullptr;
            render->GetDevice()->GetDirect3D(&direct3D);
            // Every other render is shut down on another thread, as a host's worker may;
            // the next render, on this thread, starts on a new device all the same.
            bool shutDown = false;
            if (c % 2)
                std::thread([&] { shutDown = render->Shutdown(); }).join();
            else
                shutDown = render->Shutdown();
            if (!shutDown)
                p.Fail(c, "Shutdown failed");
            const unsigned long left = direct3D ? direct3D->Release() : 1;
            if (left != 0)
                p.Fail(c, "Direct3D keeps " + std::to_string(left) + " references after Shutdown");
            window.PumpMessages();
        },
        nullptr, progress);
    return phase;
}
