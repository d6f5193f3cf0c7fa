// Fault sweep: a frame that reaches every Direct3D and Cg call site of the plug-in runs once
// clean; then, from a fresh load each time, once per distinct call site (a place in the
// plug-in's code, known by the return address of its call) with the first call from there
// failing. The plain device with 16-bit indices runs only for the sites it adds. A host must
// see no more than the design allows: one error record naming the failed call (and the
// documented consequence of a frame not shown or not stamped), the designed exception or a
// false Initialize, no crash, no hang, and nothing left alive once the plug-in is unloaded.
#include "SweepSupport.h"

#include <chrono>
#include <functional>

using namespace VeltraRender;

namespace {

const float Floats[16] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0, 0, 0, 1, 0};
const uint32_t Indices[6] = {0, 2, 3, 0, 1, 2};
const std::vector<uint8_t> Pixels(16 * 68, 0x5A);
const std::string OutOfMemory = "VeltraException 1", DXError = "VeltraException 9";
bool g_flushed = false;  // what the last frame's waiting Flush answered

struct Step { std::string name, thrown, designed; size_t calls, cgCalls; };  // what it threw and may throw, calls by its end

// What a run of the frame did, logged and left; `base`: where the plug-in was loaded.
struct FrameRun {
    std::vector<Step> steps;
    bool initialised = false;
    std::vector<d3d9double::Call> calls;
    std::vector<cgdouble::Call> cgCalls;
    uintptr_t base = 0;
    std::vector<LogRecord> records;
    sweep::Leftovers left;
};

template <class T> const T& Need(const T& object) { return object ? object : throw sweep::Skip(); }  // made despite a failure

void Frame(IRender& render, const std::function<void(const char*, const std::string&, std::function<void()>)>& step)
{
    boost::shared_ptr<IResourceGPU> positions, indices, exact, padded, target, shader;
    boost::shared_ptr<IResourceCPU> cpu, copy;
    DepthSettings depth;
    BlendSettings blend;
    depth.depthTest = blend.enableBlending = true;
    const RasterSettings raster;
    const StencilSettings stencil;
    const SamplerSettings sampler;
    std::vector<boost::shared_ptr<IState>> states;
    step("buffers", "", [&] {
        positions = render.CreateResourceGPU(BufferOf(bkPositions, 3, 4, Floats));
        indices = render.CreateResourceGPU(BufferOf(bkIndices, 0, 6, Indices));
    });
    step("shader", DXError, [&] {
        ShaderSettings settings;
        settings.vertexShaderCode = "float4 main(float4 p : POSITION) : POSITION { return p; }";
        settings.pixelShaderCode = "float4 main() : COLOR { return 1; }";
        const auto program = boost::dynamic_pointer_cast<IResShaderGPU>(shader = render.CreateResourceGPU(settings));
        program->SetVertexParameter("tint", ShaderValue::Block(Floats, 12));
        program->SetVertexParameter("rotation", ShaderValue::Block(Floats, 36));
        program->SetPixelParameter("count", ShaderValue::Int32(3));
    });
    step("textures of exact and padded rows, a target", OutOfMemory, [&] {
        exact = render.CreateResourceGPU(TextureOf(rtTextureGPU, 16, 16, pfColor0, 64, Pixels.data()));
        padded = render.CreateResourceGPU(TextureOf(rtTextureGPU, 16, 16, pfColor0, 68, Pixels.data()));
        target = render.CreateResourceGPU(TextureOf(rtTextureGPU, 64, 48));
    });
    step("CPU textures", OutOfMemory, [&] {
        cpu = render.CreateResourceCPU(TextureOf(rtTextureCPU, 16, 16, pfColor0, 0, Pixels.data()));
        copy = render.CreateResourceCPU(boost::shared_ptr<IResource>(Need(target)));
    });
    step("states, data", "", [&] {
        for (const ResourceHeader* settings : std::initializer_list<const ResourceHeader*>{&depth, &blend, &raster, &stencil, &sampler})
            render.SelectState(states.emplace_back(render.CreateState(*settings)), 0);
        render.SetResourceData(Indices, Need(indices));
        render.SetResourceData(Pixels.data(), Need(cpu));
        for (const boost::shared_ptr<IResource>& locked : std::initializer_list<boost::shared_ptr<IResource>>{positions, indices, cpu})
            render.LockResource(Need(locked)), render.UnlockResource(locked);
    });
    step("target, clear, draw", "", [&] {
        render.Clear(0x16);
        render.TargetResource(Need(target), 0);
        render.TargetResource(target, 0);
        render.Clear(0x06);
        for (const boost::shared_ptr<IResourceGPU>& bound : {Need(shader), Need(exact), Need(positions), Need(indices)})
            render.SelectResource(bound, 0);
        render.Draw();
        render.DrawQuad();
        boost::dynamic_pointer_cast<IResShaderGPU>(shader)->SetPixelParameter("count", ShaderValue::Double(0.25));
        for (const boost::shared_ptr<IResourceGPU>& bound : {shader, exact, positions, indices})
            render.DeSelectResource(bound, 0);
    });
    step("transfers, display, flush", "", [&] {
        render.TransferResource(Need(exact), Need(padded));
        render.TransferResource(exact, Need(cpu));
        render.TransferResource(cpu, padded);
        render.DeSelectResource(target, 0);
        render.DeSelectResource(target, 0);
        render.DisplayBuffer(target, 0);
        render.StampStereoSignature(target);
        g_flushed = render.Flush(true);
        render.TargetResource(target, 0);  // and destroyed while targeted
    });
    step("destroy", "", [&] {
        for (const boost::shared_ptr<IResource>& resource :
            std::initializer_list<boost::shared_ptr<IResource>>{target, positions, indices, shader, exact, padded, cpu, copy})
            if (resource)
                render.DestroyResource(resource);
    });
}

// The frame from a fresh load on the 9Ex device or on the plain one (16-bit indices, D24S8
// refused), with `inject` scripting a failure.
FrameRun RunFrame(const std::string& unit, bool plain, HWND window, const std::function<void()>& inject)
{
    d3d9double::Reset();
    cgdouble::Reset();
    if (plain) {
        d3d9double::Fail("Direct3DCreate9Ex", D3DERR_NOTAVAILABLE);
        d3d9double::Current().caps.MaxVertexIndex = 0xFFFF;
        d3d9double::Current().depthStencil.emplace_back(D3DFMT_D24S8, D3DERR_NOTAVAILABLE);
    }
    const std::pair<const char*, CGtype> uniforms[] = {
        {"ModelViewProjection", CG_FLOAT4x4}, {"tint", CG_FLOAT3}, {"rotation", CG_FLOAT3x3}, {"count", CG_INT}};
    for (unsigned long i = 0; i < 4; ++i)  // four registers apart
        cgdouble::Current().uniforms[uniforms[i].first] = {CG_C, uniforms[i].second, 4 * i};
    inject();
    FrameRun run;
    run.left = sweep::AfterUnload([&](const PluginLibrary& plugin, const LogCapture& log) {
        auto step = [&](const char* name, const std::string& designed, const std::function<void()>& body) {
            sweep::Now(unit + ", step " + name);
            run.steps.push_back({name, sweep::Outcome(body), designed, d3d9double::Calls().size(), cgdouble::Calls().size()});
        };
        run.base = reinterpret_cast<uintptr_t>(plugin.Module());
        boost::shared_ptr<IRender> render = plugin.CreateRender();
        step("Initialize", "", [&] {
            RenderSettings settings = OffscreenSettings(64, 48);
            settings.window = window;
            run.initialised = InitializeRender(render, settings);
        });
        if (run.initialised)
            Frame(*render, step);
        step("Shutdown", "", [&] { render->Shutdown(), render.reset(); });
        run.calls = d3d9double::Calls();
        run.cgCalls = cgdouble::Calls();
        run.records = log.Records();
    });
    return run;
}

// A call site: its method, which call of the method it was in the clean frame, its place in the
// plug-in, whether a Cg call, whether one the plain device adds, and the frame's step.
struct Site {
    std::string method;
    unsigned number;
    uintptr_t place;
    bool cg, plain;
    std::string step;
    std::string Label() const { return method + " #" + std::to_string(number) + " (" + step + (plain ? ", plain device)" : ")"); }
};

const std::string& NameOf(const d3d9double::Call& call) { return call.method; }
const std::string& NameOf(const cgdouble::Call& call) { return call.function; }

template <class Call> void AddSites(std::vector<Site>& sites, const FrameRun& run, const std::vector<Call>& calls, bool cg, bool plain)
{
    std::map<std::string, unsigned> numbers;
    for (size_t i = 0, step = 0; i < calls.size(); ++i) {
        while (step + 1 < run.steps.size() && i >= (cg ? run.steps[step].cgCalls : run.steps[step].calls))
            ++step;  // the objects of the frame go after its last step
        const Site site = {NameOf(calls[i]), ++numbers[NameOf(calls[i])], calls[i].site - run.base, cg, plain, run.steps[step].name};
        if (std::none_of(sites.begin(), sites.end(), [&](const Site& s) { return s.place == site.place; }))
            sites.push_back(site);
    }
}

// What a host sees of one failure.
void Judge(const Site& site, const FrameRun& run)
{
    for (const Step& step : run.steps)
        EXPECT_TRUE(step.thrown.empty() || step.thrown == step.designed) << step.name << " threw " << step.thrown;
    EXPECT_TRUE(run.initialised || site.step == "Initialize") << "Initialize answered false";
    const std::string method = site.method.substr(site.method.rfind(':') + 1);  // npos + 1: all of it
    const std::wstring wide(method.begin(), method.end());
    const std::wstring record = L"DirectX Error: " + std::to_wstring(D3DERR_INVALIDCALL) + L" in ";
    size_t naming = 0;
    for (const LogRecord& r : run.records) {
        const bool names = !site.cg && r.text.rfind(record, 0) == 0 && r.text.find(wide) != std::wstring::npos;
        const bool consequence = r.text.find(L"frame not shown") != std::wstring::npos || r.text.find(L"nothing stamped") != std::wstring::npos;
        naming += r.level == 1 && names;
        EXPECT_TRUE(r.text.rfind(L"DirectX Error: ", 0) != 0 || r.level == 1) << "a failed call reported at level " << r.level;
        EXPECT_TRUE(r.level > 1 || (r.level == 1 && (names || consequence)))
            << "a record not designed: " << std::string(r.text.begin(), r.text.end());
    }
    EXPECT_LE(naming, 1u) << "one record of the failed call";
    const size_t warnings = std::count_if(run.records.begin(), run.records.end(),
        [](const LogRecord& r) { return r.level == 2 && r.text.rfind(L"Cg Error: ", 0) == 0; });
    // One warning of a failed Cg call; without a context every later call fails too, and a
    // failing cgGetError is the report itself.
    EXPECT_TRUE(warnings == (site.cg ? 1u : 0u) || site.method == "cgCreateContext" || site.method == "cgGetError")
        << warnings << " warnings";
    EXPECT_EQ(run.left.objects + run.left.programs, 0u) << "Direct3D objects or Cg programs left";
    EXPECT_EQ(run.left.contexts, site.method == "cgDestroyContext" ? 1 : 0) << "only a context that failed to go stays";
    EXPECT_FALSE(run.left.window) << "the hidden window left";
}

}  // namespace

TEST(FaultSweep, EachCallSiteFailingOnceEndsAsDesigned)
{
    const auto start = std::chrono::steady_clock::now();
    sweep::GuardAgainstCrashesAndHangs();
    HostWindow window(64, 48);
    const FrameRun clean = RunFrame("clean frame", false, window.Handle(), [] {});
    const FrameRun plain = RunFrame("clean frame, plain device", true, window.Handle(), [] {});
    for (const FrameRun* run : {&clean, &plain})  // nothing to see
        Judge({"a clean frame", 0, 0, false, false, ""}, *run);
    EXPECT_TRUE(g_flushed);
    std::vector<Site> sites;
    AddSites(sites, clean, clean.calls, false, false);
    AddSites(sites, clean, clean.cgCalls, true, false);
    const size_t extended = sites.size();
    AddSites(sites, plain, plain.calls, false, true);
    for (const Site& site : sites) {
        SCOPED_TRACE(site.Label());
        const FrameRun run = RunFrame(site.Label(), site.plain, window.Handle(), [&] {
            site.cg ? cgdouble::Fail(site.method, CG_INVALID_PARAMETER_ERROR, 1, site.number - 1)
                    : d3d9double::Fail(site.method, D3DERR_INVALIDCALL, 1, site.number - 1);
        });
        Judge(site, run);
        std::printf("  %s\n", site.Label().c_str());
    }
    // A GPU that never finishes: Flush gives up after its 5 s, with one record.
    const auto hung = std::chrono::steady_clock::now();
    const FrameRun run = RunFrame("a GPU that never finishes", false, window.Handle(), [] { d3d9double::Fail("IDirect3DQuery9::GetData", S_FALSE); });
    EXPECT_FALSE(g_flushed) << "Flush answers that the GPU did not finish";
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - hung).count(), 7.0);
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_NE(run.records[0].text.find(L"did not finish"), std::wstring::npos);
    std::printf("%zu call sites (%zu on the 9Ex device, %zu more on the plain one) and a hung GPU in %.1f s\n", sites.size(),
        extended, sites.size() - extended, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}
