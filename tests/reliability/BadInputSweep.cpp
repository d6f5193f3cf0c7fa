// Bad input sweep: one table of operations, each run on every subject of every unit: each kind
// of object in each life-cycle state (and a state the host forces), objects made from settings
// out of range (kinds, counts, sizes, formats, row lengths), an empty pointer, objects whose
// render is gone, and renders without a device. Host memory handed over ends where an
// inaccessible page begins, and so does what a lock hands out: reading or writing past either
// faults. Every call must end as designed (a return, a VeltraException, boost::bad_weak_ptr);
// nothing may crash, hang or stay alive. Then uniform uploads are fuzzed with a fixed seed
// (VELTRA_FUZZ_SEED=N runs another).
#include "SweepSupport.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

using namespace VeltraRender;

namespace {

using Subject = boost::shared_ptr<IResource>;
using Maker = std::function<Subject(IRender&)>;
using Render = boost::shared_ptr<IRender>;

// `size` bytes of host memory that end where an inaccessible page begins; valid until the next call.
void* Guarded(size_t size)
{
    const size_t most = 64 << 20, pages = std::min((size + 4095) / 4096 * 4096, most);
    static uint8_t* region = static_cast<uint8_t*>(VirtualAlloc(nullptr, most + 4096, MEM_RESERVE, PAGE_NOACCESS));
    VirtualFree(region, most, MEM_DECOMMIT);
    VirtualAlloc(region + most - pages, pages, MEM_COMMIT, PAGE_READWRITE);
    return region + most - std::min(size, pages);
}

template <class T> boost::shared_ptr<T> As(const Subject& x) { return boost::dynamic_pointer_cast<T>(x); }

// The bytes a lock of the subject hands out (its rows times `pitch`), and those its settings
// promise the host's data holds (a row length of 0: rows of exactly the width).
std::pair<uint64_t, uint64_t> Extent(const Subject& x, uint32_t pitch)
{
    BufferSettings buffer;
    TextureSettings texture;
    const bool isBuffer = As<IResBufferGPU>(x) != nullptr, isTexture = As<IResTextureGPU>(x) || As<IResTextureCPU>(x);
    isBuffer ? x->GetSettings(buffer) : isTexture ? x->GetSettings(texture) : void();
    const int64_t rows = isBuffer ? buffer.count : isTexture ? texture.image.pixelHeight : 0;
    const int64_t texels = int64_t(texture.image.GetInternalPixelWidth()) * (texture.image.pixelFormat == pfA8 ? 1 : 4);
    const int64_t row = isBuffer ? 4 * std::clamp<uint32_t>(buffer.components, 1, 4) : texture.image.rowBytes ? texture.image.rowBytes : texels;
    return {rows > 0 ? uint64_t(rows) * pitch : 0, rows > 0 && row > 0 ? uint64_t(rows) * row : 0};
}

const void* Data(const Subject& x) { return Guarded(size_t(std::min<uint64_t>(Extent(x, 0).second, 64 << 20))); }

void Write(const Subject& x, const LockedMemory& locked)  // all it may: faults past the locked memory
{
    std::memset(locked.bits, 0xA5, locked.bits ? size_t(Extent(x, locked.pitch).first) : 0);
}

template <class Settings> Maker StateOf(const Settings& settings) { return [=](IRender& r) { return r.CreateState(settings); }; }

// A vertex buffer, an index buffer, a shader, a GPU texture, a CPU texture and the five states.
const std::vector<Maker>& Kinds()
{
    static const std::vector<Maker> kinds = {[](IRender& r) { return r.CreateResourceGPU(BufferOf(bkPositions, 3, 4, Guarded(48))); },
        [](IRender& r) { return r.CreateResourceGPU(BufferOf(bkIndices, 0, 6, Guarded(24))); },
        [](IRender& r) {
            ShaderSettings shader;
            shader.vertexShaderCode = shader.pixelShaderCode = "float4 main() : COLOR { return 1; }";
            return r.CreateResourceGPU(shader);
        },
        [](IRender& r) { return r.CreateResourceGPU(TextureOf(rtTextureGPU, 8, 8, pfColor0, 32)); },
        [](IRender& r) { return r.CreateResourceCPU(TextureOf(rtTextureCPU, 8, 8)); }, StateOf(BlendSettings()),
        StateOf(DepthSettings()), StateOf(RasterSettings()), StateOf(StencilSettings()), StateOf(SamplerSettings())};
    return kinds;
}

// The subject as one of its interfaces; an operation of another interface does not apply.
template <class T> T& Of(const Subject& x) { return As<T>(x) ? *As<T>(x) : throw sweep::Skip(); }

// One call each, so that a designed exception of one does not keep another from running.
const std::pair<const char*, std::function<void(IRender&, const Subject&)>> Operations[] = {
    {"LockResource, writing all it hands out", [](IRender& r, const Subject& x) { Write(x, r.LockResource(x)); }},
    {"UnlockResource", [](IRender& r, const Subject& x) { r.UnlockResource(x); }},
    {"SetResourceData", [](IRender& r, const Subject& x) { r.SetResourceData(Data(x), x); }},
    {"TransferResource to a GPU texture", [](IRender& r, const Subject& x) { r.TransferResource(x, Kinds()[3](r)); }},
    {"TransferResource to a CPU texture", [](IRender& r, const Subject& x) { r.TransferResource(x, Kinds()[4](r)); }},
    {"TransferResource from a GPU texture", [](IRender& r, const Subject& x) { r.TransferResource(Kinds()[3](r), x); }},
    {"TransferResource from a CPU texture", [](IRender& r, const Subject& x) { r.TransferResource(Kinds()[4](r), x); }},
    {"CreateResourceCPU from it", [](IRender& r, const Subject& x) {
         // Not from a texture made with host pixels: the copy reads them again, and a host keeps them
         // valid for as long as copies may be made; this sweep's memory is gone by then.
         TextureSettings settings;
         if (!As<IResTextureGPU>(x) || (x->GetSettings(settings), !settings.data))
             r.DestroyResource(r.CreateResourceCPU(x));
     }},
    {"SelectResource on unit 8, Draw, DrawQuad", [](IRender& r, const Subject& x) { r.SelectResource(As<IResourceGPU>(x), 8), r.Draw(), r.DrawQuad(); }},
    {"SelectResource on unit 2^32-1", [](IRender& r, const Subject& x) { r.SelectResource(As<IResourceGPU>(x), 0xFFFFFFFF); }},
    {"DeSelectResource", [](IRender& r, const Subject& x) { r.DeSelectResource(As<IResourceGPU>(x), 0); }},
    {"TargetResource, cleared with every flag", [](IRender& r, const Subject& x) { r.TargetResource(As<IResourceGPU>(x), 0), r.Clear(0xFF); }},
    {"SelectState on units -1 and 8", [](IRender& r, const Subject& x) { r.SelectState(As<IState>(x), -1), r.SelectState(As<IState>(x), 8); }},
    {"DisplayBuffer for eyes 1 and 7", [](IRender& r, const Subject& x) { r.DisplayBuffer(As<IResourceGPU>(x), 1), r.DisplayBuffer(As<IResourceGPU>(x), 7); }},
    {"StampStereoSignature", [](IRender& r, const Subject& x) { r.StampStereoSignature(As<IResourceGPU>(x)); }},
    {"its Select", [](IRender&, const Subject& x) { Of<IResourceGPU>(x).Select(0); }},
    {"its Target", [](IRender&, const Subject& x) { Of<IResourceGPU>(x).Target(0); }},
    {"its DeSelect", [](IRender&, const Subject& x) { Of<IResourceGPU>(x).DeSelect(0); }},
    {"its Select as a state", [](IRender&, const Subject& x) { Of<IState>(x).Select(nullptr, 0); }},
    {"its Destroy", [](IRender&, const Subject& x) { Of<IResource>(x).Destroy(); }},
    {"its TransferTo a GPU texture", [](IRender& r, const Subject& x) { Of<IResource>(x).TransferTo(Kinds()[3](r)); }},
    {"buffer Lock, writing all it hands out", [](IRender&, const Subject& x) { LockedMemory m; Write(x, Of<IResBufferGPU>(x).Lock(m)); }},
    {"buffer Unlock", [](IRender&, const Subject& x) { Of<IResBufferGPU>(x).Unlock(); }},
    {"SetBufferData past the end", [](IRender&, const Subject& x) { Of<IResBufferGPU>(x).SetBufferData(Guarded(16), 16, uint32_t(Extent(x, 0).second)); }},
    {"GPU SetTextureData", [](IRender&, const Subject& x) { Of<IResTextureGPU>(x).SetTextureData(Data(x)); }},
    {"CPU Lock, writing all it hands out", [](IRender&, const Subject& x) { Write(x, Of<IResTextureCPU>(x).Lock()); }},
    {"CPU Unlock", [](IRender&, const Subject& x) { Of<IResTextureCPU>(x).Unlock(); }},
    {"CPU SetTextureData of a block", [](IRender&, const Subject& x) { Of<IResTextureCPU>(x).SetTextureData(Guarded(16), 16, 8); }},
    {"CPU SetTextureData of the image", [](IRender&, const Subject& x) { Of<IResTextureCPU>(x).SetTextureData(Data(x), 0, 0); }},
    {"a float3x3 uniform at the last registers, selected", [](IRender& r, const Subject& x) {
         Of<IResShaderGPU>(x).SetVertexParameter("p", ShaderValue::Block(Guarded(36), 36)), r.SelectResource(As<IResourceGPU>(x), 0);
     }},
    {"DestroyResource, by pointer", [](IRender& r, const Subject& x) { r.DestroyResource(x), r.DestroyResource(x.get()); }},
};

std::vector<Maker> EveryKindInEveryState()
{
    const std::function<void(IRender&, const Subject&)> into[] = {[](IRender&, const Subject&) {},
        [](IRender& r, const Subject& x) { r.LockResource(x); },
        [](IRender& r, const Subject& x) { As<IState>(x) ? r.SelectState(As<IState>(x), 0) : r.SelectResource(As<IResourceGPU>(x), 0); },
        [](IRender& r, const Subject& x) { r.TargetResource(As<IResourceGPU>(x), 0); },
        [](IRender& r, const Subject& x) { r.DestroyResource(x); }, [](IRender&, const Subject& x) { x->SetState(ResourceState(99)); }};
    std::vector<Maker> makers;
    for (const Maker& kind : Kinds())
        for (const auto& state : into)
            makers.push_back([=](IRender& r) {
                const Subject x = kind(r);
                sweep::Outcome([&] { state(r, x); });
                return x;
            });
    return makers;
}

std::vector<Maker> SizesOutOfRange(bool ofTextures)
{
    std::vector<Maker> makers;
    for (uint32_t kind : {0u, 1u, 2u, 3u, 4u, 9u})  // every kind of buffer, and one outside them
        for (uint32_t components : {0u, 1u, 3u, 7u})
            for (int32_t count : {0, -1, 1, 65537, 0x40000001, INT_MAX})
                makers.push_back([=](IRender& r) {
                    const uint64_t bytes = count > 0 ? uint64_t(count) * 4 * std::clamp(components, 1u, 4u) : 0;
                    return r.CreateResourceGPU(BufferOf(kind, components, count, bytes < (64 << 20) ? Guarded(bytes) : nullptr));
                });
    // A state made from a record that is not a state's: a texture's, and one of no kind.
    for (uint32_t type : {uint32_t(rtTextureGPU), 99u})
        makers.push_back([=](IRender& r) {
            TextureSettings settings = TextureOf(rtTextureGPU, 8, 8);
            settings.type = ResourceType(type);
            return r.CreateState(settings);
        });
    for (uint32_t format : ofTextures ? std::vector<uint32_t>{0, 3, 4, 5, 99} : std::vector<uint32_t>{})  // colour, alpha, paired, unknown
        for (const auto& [width, height] : {std::make_pair(0, 4), {-1, 4}, {5, 3}, {1, 20000}, {100000, 100000}}) {
            makers.push_back([=](IRender& r) { return r.CreateResourceCPU(TextureOf(rtTextureCPU, width, height, format)); });
            for (int32_t rowBytes : {0, -4, 1, 20, 24})
                makers.push_back([=](IRender& r) {
                    const void* pixels = rowBytes > 0 ? Guarded(size_t(rowBytes) * std::max(height, 0)) : nullptr;
                    return r.CreateResourceGPU(TextureOf(rtTextureGPU, width, height, format, rowBytes, pixels));
                });
        }
    return makers;
}

const std::vector<Maker> None = {[](IRender&) { return Subject(); }};

const PluginLibrary* g_plugin = nullptr;
std::vector<Render> g_others;  // renders whose objects are subjects, kept to the unit's end

// Objects of another render whose reference to itself then expires, or which is destroyed
// without a Shutdown.
std::vector<Maker> Orphans()
{
    std::vector<Maker> makers;
    for (int kind = 0; kind < 10; ++kind)
        for (bool destroyed : {false, true})
            makers.push_back([=](IRender&) {
                Render other = g_plugin->CreateRender(), self(other.get(), [](IRender*) {});
                RenderSettings settings = OffscreenSettings();
                other->Initialize(destroyed ? other : self, settings);
                const Subject x = Kinds()[kind](*other);
                g_others.insert(g_others.end(), !destroyed, other);  // kept to the unit's end, unless destroyed now
                return x;
            });
    return makers;
}

void Initialise(const Render& render)
{
    static HostWindow window(64, 48);
    RenderSettings settings = OffscreenSettings(64, 48);
    settings.window = window.Handle();
    InitializeRender(render, settings);
}

// Runs every operation on a fresh subject of every maker, on a render that `initialise`
// prepares, then shuts it down and unloads the plug-in: nothing may be left.
void Sweep(const std::string& unit, const std::vector<Maker>& makers, const std::function<void(const Render&)>& initialise,
    DWORD maxVertexIndex = 0xFFFFFF)
{
    d3d9double::Reset();
    cgdouble::Reset();
    d3d9double::Current().caps.MaxVertexIndex = maxVertexIndex;
    cgdouble::Current().uniforms["p"] = {CG_C, CG_FLOAT3x3, 253};
    const sweep::Leftovers left = sweep::AfterUnload([&](const PluginLibrary& plugin, const LogCapture&) {
        g_plugin = &plugin;
        Render render = plugin.CreateRender();
        sweep::Now(unit);
        initialise(render);
        for (size_t m = 0; m < makers.size(); ++m)
            for (const auto& [name, operation] : Operations) {
                const std::string label = unit + ", subject " + std::to_string(m) + ": " + name;
                sweep::Now(label);
                Subject x;
                const std::string outcome = sweep::Outcome([&] { operation(*render, x = makers[m](*render)); });
                EXPECT_TRUE(outcome.empty() || outcome.rfind("VeltraException", 0) == 0 || outcome == "boost::bad_weak_ptr")
                    << label << " ended with " << outcome;
                sweep::Outcome([&] { render->DestroyResource(x); });
            }
        sweep::Now(unit + ": Shutdown");
        for (const Render& other : std::exchange(g_others, {}))
            other->Shutdown();
        render->Shutdown();
    });
    EXPECT_EQ(left.objects + left.programs + left.contexts + left.window, 0u) << unit << ": objects left";
    if (!makers.empty())
        std::printf("  %s: %zu subjects, %zu operations each\n", unit.c_str(), makers.size(), std::size(Operations));
}

// Uniform uploads with random names, types, registers and values of every tag (blocks at a
// guard page, sizes from none to huge), selected or not.
void FuzzUniforms(IRender& render, uint64_t seed)
{
    std::mt19937_64 random(seed);
    const CGtype types[] = {CG_FLOAT, CG_FLOAT2, CG_FLOAT4, CG_INT, CG_INT3, CG_FLOAT3x3, CG_FLOAT4x4, CG_BOOL, CG_HALF4};
    const std::string names[] = {"a", "b", "ModelViewProjection", "", std::string(300, 'n')};
    const auto shader = As<IResShaderGPU>(Kinds()[2](render));
    for (int i = 0; i < 20000; ++i) {
        const std::string& name = names[random() % 5];
        cgdouble::Current().uniforms[name] = {random() % 8 ? CG_C : CG_UNDEFINED, types[random() % 9], static_cast<unsigned long>(random() % 260)};
        ShaderValue value;
        value.tag = random() % 8 ? uint32_t(random() % 12) : uint32_t(random());
        std::generate(std::begin(value.payload), std::end(value.payload), [&] { return static_cast<unsigned char>(random()); });
        value.size = random() % 4 ? random() % 80 : random();
        // A host's block holds its size in bytes; a string here has none (random bytes would be the host's own fault).
        void* block = value.tag == svBlock && value.size < 80 ? Guarded(size_t(value.size)) : nullptr;
        std::memcpy(value.payload, &block, value.tag == svBlock || value.tag == svString ? sizeof block : 0);
        sweep::Now("uniform fuzz, seed " + std::to_string(seed) + ", iteration " + std::to_string(i));
        const std::string outcome = sweep::Outcome([&] {
            random() % 2 ? render.SelectResource(shader, 0) : render.DeSelectResource(shader, 0);
            random() % 2 ? shader->SetVertexParameter(name, value) : shader->SetPixelParameter(name, value);
        });
        EXPECT_TRUE(outcome.empty() || outcome == "VeltraException 0") << "seed " << seed << ", iteration " << i << ": " << outcome;
        value.tag = svEmpty;  // the block is the guard region's, not the value's to free
    }
    render.DestroyResource(shader);
    std::printf("  20000 fuzzed uploads\n");
}

}  // namespace

TEST(BadInputSweep, EveryOperationOnEverySubjectEndsAsDesigned)
{
    const auto start = std::chrono::steady_clock::now();
    sweep::GuardAgainstCrashesAndHangs();
    const uint64_t seed = std::getenv("VELTRA_FUZZ_SEED") ? std::stoull(std::getenv("VELTRA_FUZZ_SEED")) : 20240607;
    std::printf("uniform fuzz seed %llu (VELTRA_FUZZ_SEED=N runs another)\n", static_cast<unsigned long long>(seed));
    const auto initialised = [](const Render& render) { Initialise(render); };
    Sweep("every kind in every state", EveryKindInEveryState(), initialised);
    Sweep("sizes out of range", SizesOutOfRange(true), initialised);
    Sweep("buffer sizes out of range, 16-bit indices", SizesOutOfRange(false), initialised, 0xFFFF);
    Sweep("an empty pointer", None, initialised);
    Sweep("objects of a render that is gone", Orphans(), initialised);
    Sweep("a render never initialised", None, [](const Render&) {});
    Sweep("a render after its last Shutdown", None, [](const Render& r) { Initialise(r), r->Shutdown(); });
    Sweep("uniform fuzz", {}, [&](const Render& render) { Initialise(render), FuzzUniforms(*render, seed); });
    std::printf("%.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}
