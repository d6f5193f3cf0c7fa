// Long runs on the real stack: thousands of create/use/destroy cycles of each kind of
// resource and state, and of the render's own lifecycle, as a host running for hours
// makes and drops them. After a warm-up the process's private bytes and handles are
// sampled and must stay flat; the device's references return to their baseline after
// each phase; after every last Shutdown nothing of Direct3D is left.
//
//   long_runs [--cycles N] [--lifecycles N] [--no-compaction] [--series]
//
// --cycles: resource, state and joining-render cycles per phase (default 10 000);
// --lifecycles: cycles of the only render, each creating and releasing the device
// (default 10 000; about 0.4 s each here); --no-compaction: the host never calls
// ReleaseExtraMemory (the registry then keeps an entry per object ever created);
// --series prints every sample.

#include "HostWindow.h"
#include "LogCapture.h"
#include "Pattern.h"
#include "PluginLibrary.h"
#include "Resources.h"
#include "StressSupport.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace VeltraRender;

namespace {

// Growth allowed between the first sample after the warm-up and the last. Heaps
// (ours, Wine's, Mesa's) settle in steps of pages and arenas: sixty-four 16 KiB steps.
// A leak of one small Direct3D object per cycle (a 64 x 48 texture is 12 KiB) passes
// that within a hundred cycles.
const uint64_t PrivateBytesTolerance = 1u << 20;
// What the platform keeps, measured without the plug-in (platform_baseline): Wine's
// D3DXAssembleShader 144 bytes per assembly (288 a shader; Cg's runtime and creating
// and releasing Direct3D shaders stay flat); a draw with a shader new to the device
// about 2 KiB in wined3d and llvmpipe; a draw with buffers new to the device about 400 bytes, and
// once, after some 8000 of them, a step of 64 MiB. So the phases draw with every 25th
// new object only, and the shader phase allows 512 bytes a cycle.
const uint64_t ShaderAllowance = 512;
// Handles come and go with each cycle; a few may be cached (Wine's GL contexts).
const uint32_t HandleTolerance = 8;

const int Width = 64, Height = 48;

const char* const VertexProgram = R"(
uniform float4x4 ModelViewProjection;
float4 main(float4 position : POSITION) : POSITION { return mul(position, ModelViewProjection); }
)";
const char* const MeshVertexProgram = "float4 main(float4 position : POSITION) : POSITION { return position; }";
const char* const PixelProgram = "uniform float4 tint; float4 main() : COLOR { return tint; }";

struct Phase {
    std::string name;
    long cycles = 0;
    uint64_t allowance = 0;  // bytes per cycle the platform keeps (see above)
    long firstSample = 0, sampledCycles = 0;  // cycles between the first and the last sample
    double seconds = 0;
    ProcessFigures first, last, max;
    ULONG referencesBefore = 0, referencesAfter = 0;
    bool checkReferences = false;
    long failures = 0;
    std::string firstFailure;

    void Fail(long cycle, const std::string& what)
    {
        if (failures++ == 0)
            firstFailure = "cycle " + std::to_string(cycle) + ": " + what;
    }
    bool Flat() const
    {
        return last.privateBytes <= first.privateBytes + PrivateBytesTolerance + allowance * sampledCycles &&
               last.handles <= first.handles + HandleTolerance;
    }
    bool Passed() const { return failures == 0 && Flat() && (!checkReferences || referencesBefore == referencesAfter); }
};

std::vector<Phase> g_phases;

bool g_series = false;

// Binds the phases' lasting objects in place of the last cycle's: a render keeps its
// last index buffer and shader bound (and alive) until the next selection of the kind.
std::function<void()> g_bindLastingObjects;

// Runs `cycle` `cycles` times; samples the process after a warm-up of a tenth of the
// cycles (at least 10), then about 50 times, each time after the host's housekeeping
// (ReleaseExtraMemory on `housekeeping`, when given). With `device`, the device's
// references after the phase must equal those before.
void RunPhase(const std::string& name, long cycles, uint64_t allowance, IDirect3DDevice9* device, IRender* housekeeping,
              const std::function<void(long, Phase&)>& cycle)
{
    if (cycles <= 0)
        return;
    Phase phase;
    phase.name = name;
    phase.cycles = cycles;
    phase.allowance = allowance;
    phase.checkReferences = device != nullptr;
    if (device)
        phase.referencesBefore = DeviceReferences(device);
    const long warmUp = cycles / 10 > 10 ? cycles / 10 : 10;
    const long interval = (cycles - warmUp) / 50 > 1 ? (cycles - warmUp) / 50 : 1;
    const Stopwatch clock;
    bool sampled = false;
    for (long c = 0; c < cycles; ++c) {
        cycle(c, phase);
        const long done = c + 1;
        if (done < warmUp || ((done - warmUp) % interval != 0 && done != cycles))
            continue;
        if (housekeeping)
            housekeeping->ReleaseExtraMemory();
        const ProcessFigures now = MeasureProcess();
        if (!sampled) {
            phase.first = phase.max = now;
            phase.firstSample = done;
            sampled = true;
        }
        phase.last = now;
        phase.sampledCycles = done - phase.firstSample;
        if (g_series)
            std::printf("  after %6ld cycles: %8.2f MiB, %u handles\n", done, now.privateBytes / 1048576.0,
                        now.handles);
        if (now.privateBytes > phase.max.privateBytes)
            phase.max.privateBytes = now.privateBytes;
        if (now.handles > phase.max.handles)
            phase.max.handles = now.handles;
    }
    phase.seconds = clock.Seconds();
    if (g_bindLastingObjects)
        g_bindLastingObjects();
    if (device)
        phase.referencesAfter = DeviceReferences(device);
    std::printf("%-24s %6ld cycles %7.1f s %7.2f ms/cycle  private MiB %7.2f %7.2f %7.2f  handles %4u %4u %4u%s\n",
                name.c_str(), cycles, phase.seconds, phase.seconds * 1000 / cycles,
                phase.first.privateBytes / 1048576.0, phase.last.privateBytes / 1048576.0,
                phase.max.privateBytes / 1048576.0, phase.first.handles, phase.last.handles, phase.max.handles,
                phase.Passed() ? "" : "  FAILED");
    g_phases.push_back(phase);
}

// Reads a GPU texture back through `readBack` and compares it with the pattern.
bool ShowsPattern(IRender& render, const boost::shared_ptr<IResTextureGPU>& texture,
                  const boost::shared_ptr<IResTextureCPU>& readBack, uint32_t seed)
{
    render.TransferResource(texture, readBack);
    const LockedMemory locked = render.LockResource(readBack);
    const bool same =
        PixelDifferences(locked, Width, Height, [seed](int x, int y) { return PatternPixel(x + seed, y); }).empty();
    render.UnlockResource(readBack);
    return same;
}

// Destroys through the render on even cycles and only drops the reference on odd ones.
template <typename Resource>
void Release(IRender& render, boost::shared_ptr<Resource>& resource, long cycle)
{
    if (cycle % 2 == 0)
        render.DestroyResource(boost::shared_ptr<IResource>(resource));
    resource.reset();
}

} // namespace

int main(int argc, char** argv)
{
    const long cycles = NumberArgument(argc, argv, "--cycles", "VELTRA_LONG_RUN_CYCLES", 10000);
    const long lifecycles = NumberArgument(argc, argv, "--lifecycles", "VELTRA_LONG_RUN_LIFECYCLES", 10000);
    const bool compaction = !FlagArgument(argc, argv, "--no-compaction");
    g_series = FlagArgument(argc, argv, "--series");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf(
        "long runs: %ld cycles per phase, %ld lifecycles of the only render%s; tolerance %.2f MiB and %u handles\n",
        cycles, lifecycles, compaction ? "" : ", no ReleaseExtraMemory", PrivateBytesTolerance / 1048576.0,
        HandleTolerance);
    std::printf("each phase: duration, private bytes and handles first (after the warm-up) / last / max\n");

    LogCapture log(L"293:0");  // and whatever the plug-in always writes (failed calls)
    PluginLibrary plugin;
    HostWindow window(Width, Height, L"Veltra long runs");
    long witnessFailures = 0;
    {
        boost::shared_ptr<IRender> render = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(Width, Height);
        if (!InitializeRender(render, settings)) {
            std::printf("FAILED: Initialize\n");
            return 1;
        }
        IDirect3DDevice9* device = render->GetDevice();
        IDirect3D9* direct3D = nullptr;
        device->GetDirect3D(&direct3D);
        IRender* housekeeping = compaction ? render.get() : nullptr;
        render->SelectState(render->CreateState(RasterSettings()), 0);
        render->SelectState(render->CreateState(DepthSettings()), 0);
        // What the phases draw into and read back through, made once.
        boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, Width, Height);
        boost::shared_ptr<IResTextureCPU> readBack = CreateCpuTexture(*render, Width, Height);
        ShaderSettings shaderSettings;
        shaderSettings.vertexShaderCode = VertexProgram;
        shaderSettings.pixelShaderCode = PixelProgram;
        ShaderSettings meshSettings = shaderSettings;
        meshSettings.vertexShaderCode = MeshVertexProgram;
        boost::shared_ptr<IResShaderGPU> meshShader =
            boost::dynamic_pointer_cast<IResShaderGPU>(render->CreateResourceGPU(meshSettings));
        const float white[4] = {1, 1, 1, 1};
        meshShader->SetPixelParameter("tint", ShaderValue::Floats(white, 4));
        const uint32_t quadIndices[6] = {0, 1, 2, 0, 2, 3};
        boost::shared_ptr<IResBufferGPU> lastingIndices = CreateBuffer(*render, bkIndices, 0, 6, quadIndices);
        g_bindLastingObjects = [&] {
            render->SelectResource(meshShader, 0);
            render->SelectResource(lastingIndices, 0);
            render->DeSelectResource(lastingIndices, 0);
            render->DeSelectResource(meshShader, 0);
        };

        // Every 25th cycle draws with its buffers: a quad over the whole target.
        const float wholeTarget[12] = {-1, -1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f, -1, 1, 0.5f};
        RunPhase("vertex + index buffers", cycles, 0, device, housekeeping, [&](long c, Phase& phase) {
            const bool draw = c % 25 == 0;
            float positions[12], changed[12];
            for (int i = 0; i < 12; ++i) {
                positions[i] = static_cast<float>((c + i) % 7) / 8 - 0.4f;
                changed[i] = draw ? wholeTarget[i] : -positions[i];
            }
            const uint32_t indices[6] = {0, 1, 2, 0, 2, static_cast<uint32_t>(draw ? 3 : 3 - c % 2)};
            boost::shared_ptr<IResBufferGPU> vertices = CreateBuffer(*render, bkPositions, 3, 4, positions);
            boost::shared_ptr<IResBufferGPU> triangles = CreateBuffer(*render, bkIndices, 0, 6, indices);
            render->SetResourceData(changed, vertices);
            const LockedMemory locked = render->LockResource(vertices);
            const bool same = locked.bits && std::memcmp(locked.bits, changed, sizeof changed) == 0;
            render->UnlockResource(vertices);
            const LockedMemory lockedIndices = render->LockResource(triangles);
            const bool sameIndices =
                lockedIndices.bits && std::memcmp(lockedIndices.bits, indices, sizeof indices) == 0;
            render->UnlockResource(triangles);
            if (!same || !sameIndices)
                phase.Fail(c, "buffer contents did not read back");
            render->TargetResource(target, 0);
            render->Clear(0);
            render->SelectResource(meshShader, 0);
            render->SelectResource(vertices, 0);
            render->SelectResource(triangles, 0);
            if (draw)
                render->Draw();
            render->DeSelectResource(triangles, 0);
            render->DeSelectResource(vertices, 0);
            render->DeSelectResource(meshShader, 0);
            render->DeSelectResource(target, 0);
            if (draw) {
                render->Flush(true);  // as a host's frame ends; llvmpipe keeps unflushed draws
                render->TransferResource(target, readBack);
                const std::string differences = PixelDifferences(render->LockResource(readBack), Width, Height,
                                                                 [](int, int) { return 0xFFFFFFFFu; });
                render->UnlockResource(readBack);
                if (!differences.empty())
                    phase.Fail(c, "the draw: " + differences);
            }
            Release(*render, vertices, c);
            Release(*render, triangles, c);
        });

        RunPhase("shaders (compile, select)", cycles, ShaderAllowance, device, housekeeping, [&](long c, Phase& phase) {
            boost::shared_ptr<IResShaderGPU> shader =
                boost::dynamic_pointer_cast<IResShaderGPU>(render->CreateResourceGPU(shaderSettings));
            const float tint[4] = {static_cast<float>(c % 2), 0.5f, 0, 1};
            shader->SetPixelParameter("tint", ShaderValue::Floats(tint, 4));
            render->SelectResource(shader, 0);
            render->DeSelectResource(shader, 0);
            if (c % 25 == 0) {
                render->TargetResource(target, 0);
                render->SelectResource(shader, 0);
                render->DrawQuad();
                render->DeSelectResource(shader, 0);
                render->DeSelectResource(target, 0);
                render->Flush(true);
                render->TransferResource(target, readBack);
                const LockedMemory locked = render->LockResource(readBack);
                // The default quad covers the target: tint red 0 or 1, green one half.
                const uint32_t centre =
                    locked.bits ? static_cast<const uint32_t*>(locked.bits)[Height / 2 * locked.pitch / 4 + Width / 2]
                                : 0;
                render->UnlockResource(readBack);
                const uint32_t green = centre >> 8 & 0xFF;
                if ((centre & 0xFFFF00FFu) != (c % 2 ? 0xFFFF0000u : 0xFF000000u) || green < 0x7F || green > 0x80)
                    phase.Fail(c, "the shader's draw did not land");
            }
            Release(*render, shader, c);
        });

        RunPhase("GPU textures + upload", cycles, 0, device, housekeeping, [&](long c, Phase& phase) {
            // Odd cycles: the host's rows are the texture's, which 9Ex uploads from the
            // host's memory. Even cycles: longer rows, copied row by row, from column `shift`.
            const int rowBytes = c % 2 ? Width * 4 : (Width + 8) * 4;
            const int shift = c % 2 ? 0 : static_cast<int>(c / 2 % 8);
            const std::vector<uint8_t> image = PatternImage(rowBytes / 4, Height, rowBytes);
            boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, Width, Height, pfColor0, rowBytes);
            render->SetResourceData(image.data() + shift * 4, texture);
            if (!ShowsPattern(*render, texture, readBack, static_cast<uint32_t>(shift)))
                phase.Fail(c, "the uploaded image did not read back");
            Release(*render, texture, c);
        });

        RunPhase("CPU textures + lock", cycles, 0, device, housekeeping, [&](long c, Phase& phase) {
            // Every other cycle the texture is made after a GPU texture's settings.
            boost::shared_ptr<IResTextureCPU> texture =
                c % 2 ? boost::dynamic_pointer_cast<IResTextureCPU>(
                            render->CreateResourceCPU(boost::shared_ptr<IResource>(target)))
                      : CreateCpuTexture(*render, Width, Height);
            LockedMemory locked = render->LockResource(texture);
            if (locked.bits)
                for (int y = 0; y < Height; ++y)
                    std::memset(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, static_cast<int>(c & 0xFF),
                                Width * 4);
            render->UnlockResource(texture);
            const std::vector<uint8_t> image = PatternImage(Width, Height, Width * 4);
            render->SetResourceData(image.data(), texture);
            locked = render->LockResource(texture);
            const std::string differences =
                PixelDifferences(locked, Width, Height, [](int x, int y) { return PatternPixel(x, y); });
            render->UnlockResource(texture);
            if (!differences.empty())
                phase.Fail(c, differences);
            Release(*render, texture, c);
        });

        RunPhase("states (5 kinds, select)", cycles, 0, device, housekeeping, [&](long c, Phase&) {
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
            for (const ResourceHeader* settings :
                 {static_cast<const ResourceHeader*>(&raster), static_cast<const ResourceHeader*>(&depth),
                  static_cast<const ResourceHeader*>(&stencil), static_cast<const ResourceHeader*>(&blend),
                  static_cast<const ResourceHeader*>(&sampler)}) {
                boost::shared_ptr<IState> state = render->CreateState(*settings);
                render->SelectState(state, static_cast<int32_t>(c % 8));
                Release(*render, state, c);
            }
        });

        RunPhase("renders joining device", cycles, 0, device, housekeeping, [&](long c, Phase& phase) {
            boost::shared_ptr<IRender> joining = plugin.CreateRender();
            RenderSettings joiningSettings = OffscreenSettings(Width, Height);
            if (c % 2)
                joiningSettings.window = window.Handle();  // with a swap chain
            if (!InitializeRender(joining, joiningSettings) || joining->GetDevice() != device)
                phase.Fail(c, "Initialize did not join the shared device");
            if (!joining->Shutdown())
                phase.Fail(c, "Shutdown failed");
        });

        for (boost::shared_ptr<IResource> resource :
             {boost::shared_ptr<IResource>(target), boost::shared_ptr<IResource>(readBack),
              boost::shared_ptr<IResource>(meshShader), boost::shared_ptr<IResource>(lastingIndices)})
            render->DestroyResource(resource);
        g_bindLastingObjects = nullptr;
        lastingIndices.reset();
        target.reset();
        readBack.reset();
        meshShader.reset();
        if (!render->Shutdown() || direct3D->Release() != 0) {
            std::printf("FAILED: the last Shutdown left Direct3D behind\n");
            ++witnessFailures;
        }
    }

    RunPhase("only render (device)", lifecycles, 0, nullptr, nullptr, [&](long c, Phase& phase) {
        boost::shared_ptr<IRender> render = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(Width, Height);
        settings.window = window.Handle();
        if (!InitializeRender(render, settings)) {
            phase.Fail(c, "Initialize failed");
            return;
        }
        IDirect3D9* direct3D = nullptr;
        render->GetDevice()->GetDirect3D(&direct3D);
        if (!render->Shutdown())
            phase.Fail(c, "Shutdown failed");
        const ULONG left = direct3D->Release();
        if (left != 0)
            phase.Fail(c, "Direct3D keeps " + std::to_string(left) + " references after Shutdown");
        HostWindow::PumpMessages();
    });

    bool passed = witnessFailures == 0;
    for (const Phase& phase : g_phases) {
        if (phase.Passed())
            continue;
        passed = false;
        std::printf("FAILED %s:", phase.name.c_str());
        if (phase.failures)
            std::printf(" %ld failed cycles, first %s;", phase.failures, phase.firstFailure.c_str());
        if (!phase.Flat())
            std::printf(" grew by %.2f MiB and %d handles;",
                        (static_cast<double>(phase.last.privateBytes) - phase.first.privateBytes) / 1048576.0,
                        static_cast<int>(phase.last.handles) - static_cast<int>(phase.first.handles));
        if (phase.checkReferences && phase.referencesBefore != phase.referencesAfter)
            std::printf(" device references %lu before, %lu after: Direct3D objects outlived the host's references;",
                        phase.referencesBefore, phase.referencesAfter);
        std::printf("\n");
    }
    if (!log.Records().empty()) {
        passed = false;
        std::printf("FAILED: %zu log records:\n%s", log.Records().size(), log.Dump().substr(0, 4000).c_str());
    }
    std::printf("%s\n", passed ? "PASSED" : "FAILED");
    return passed ? 0 : 1;
}
