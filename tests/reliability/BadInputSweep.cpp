// Bad input sweep: every IRender slot and every resource and state operation called with
// empty pointers, expired objects, the wrong kind of object, values outside their range, and
// in every life-cycle state. Each input must end as designed (a return, the designed
// VeltraException, boost::bad_weak_ptr for an expired render), never crash or hang, never
// read or write host memory outside what the host handed over, and leave nothing behind.
//
//   bad_input_sweep.exe [--only=TEXT] [--fuzz-seconds=N] [--seed=N]

#include "BadInput.h"

#include "HostWindow.h"
#include "Resources.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

using namespace VeltraRender;
using namespace reliability;

namespace reliability {

namespace {
size_t g_tried = 0;
std::map<std::string, size_t> g_endings;  // how the inputs of the running unit ended
}  // namespace

void Try(const std::string& label, Want want, const std::function<void()>& call)
{
    Now(label);
    bool applicable = true;
    const std::string outcome = Outcome([&] {
        try {
            call();
        } catch (const NotApplicable&) {
            applicable = false;
        }
    });
    if (!applicable)
        return;
    ++g_tried;
    g_endings[outcome.empty() ? "returned" : outcome] += 1;
    bool ok = false;
    std::string designed;
    switch (want.kind) {
    case Want::Returns:
        ok = outcome.empty();
        designed = "a return";
        break;
    case Want::Throws:
        designed = "VeltraException " + ErrorName(want.code);
        ok = outcome == designed;
        break;
    case Want::BadWeakPtr:
        designed = "boost::bad_weak_ptr";
        ok = outcome == designed;
        break;
    case Want::Designed:
        designed = "a return, a VeltraException or boost::bad_weak_ptr";
        ok = outcome.empty() || outcome.rfind("VeltraException", 0) == 0 || outcome == "boost::bad_weak_ptr";
        break;
    }
    Check(ok, label, "ended with " + (outcome.empty() ? std::string("a return") : outcome) + "; designed: " + designed);
}

size_t InputsTried()
{
    return g_tried;
}

void CountInputs(size_t count)
{
    g_tried += count;
}

HWND HostWindowHandle()
{
    static HostWindow window(64, 48);
    return window.Handle();
}

Host::Host(bool sixteenBitIndices)
{
    if (sixteenBitIndices)
        d3d9double::Caps().MaxVertexIndex = 0xFFFF;
    cgdouble::SetParameter("p", CG_C, CG_FLOAT4, 3);
    render = session.NewRender();
    RenderSettings settings = OffscreenSettings(64, 48);
    settings.window = HostWindowHandle();
    Check(InitializeRender(render, settings), "Initialize", "answered false");
}

void Host::Finish()
{
    Now("finishing the unit");
    const std::string shutdown = Outcome([&] { render->Shutdown(); });
    Check(shutdown.empty(), "Shutdown after the bad inputs", shutdown);
    render.reset();
    const Leftovers left = session.End();
    Check(left.Describe().empty(), "nothing left after Shutdown and release", "left behind: " + left.Describe());
}

}  // namespace reliability

namespace {

// ---- objects of every kind, and what the plug-in may read of the host's data for them

enum Kind {
    VertexBuffer,
    IndexBuffer,
    Shader,
    GpuTexture,
    CpuTexture,
    Raster,
    Depth,
    Stencil,
    Blend,
    Sampler,
    KindCount
};
const char* const KindNames[] = {"vertex buffer", "index buffer", "shader", "GPU texture", "CPU texture",
    "raster state", "depth state", "stencil state", "blend state", "sampler state"};

const char* const VertexSource = "float4 main(float4 p : POSITION) : POSITION { return p; }";
const char* const PixelSource = "float4 main() : COLOR { return 1; }";

boost::shared_ptr<IResource> Make(IRender& render, int kind, bool withData = true)
{
    static const float floats[16] = {};
    static const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    switch (kind) {
    case VertexBuffer:
        return render.CreateResourceGPU(BufferOf(bkPositions, 3, 4, withData ? floats : nullptr));
    case IndexBuffer:
        return render.CreateResourceGPU(BufferOf(bkIndices, 0, 6, withData ? indices : nullptr));
    case Shader: {
        ShaderSettings settings;
        settings.vertexShaderCode = VertexSource;
        settings.pixelShaderCode = PixelSource;
        return render.CreateResourceGPU(settings);
    }
    case GpuTexture:
        return render.CreateResourceGPU(TextureOf(rtTextureGPU, 8, 8, pfColor0, 32));
    case CpuTexture:
        return render.CreateResourceCPU(TextureOf(rtTextureCPU, 8, 8));
    case Raster:
        return render.CreateState(RasterSettings());
    case Depth:
        return render.CreateState(DepthSettings());
    case Stencil:
        return render.CreateState(StencilSettings());
    case Blend:
        return render.CreateState(BlendSettings());
    default:
        return render.CreateState(SamplerSettings());
    }
}

// Exactly the bytes SetResourceData may read for the objects Make makes, ending at a guard page.
const void* DataFor(const boost::shared_ptr<IResource>& resource)
{
    switch (resource->GetType()) {
    case rtBufferGPU:
        return GuardedBytes(SettingsOf(*resource).kind == bkIndices ? 24 : 48);
    case rtTextureGPU:
    case rtTextureCPU:
        return GuardedBytes(8 * 8 * 4);
    default:
        return GuardedBytes(0);
    }
}

template <typename T> boost::shared_ptr<T> Cast(const boost::shared_ptr<IResource>& resource)
{
    boost::shared_ptr<T> typed = boost::dynamic_pointer_cast<T>(resource);
    if (!typed)
        throw NotApplicable();
    return typed;
}

// Calls `fill` on a record placed between guard bytes; false when it wrote outside the record.
template <typename T, typename Fill> bool WritesInside(Fill fill)
{
    alignas(16) unsigned char space[64 + sizeof(T) + 64];
    std::memset(space, 0xA5, sizeof space);
    T* record = new (space + 64) T();
    fill(*record);
    bool inside = true;
    for (size_t i = 0; i < sizeof space; ++i)
        inside = inside && (i >= 64 && i < 64 + sizeof(T) ? true : space[i] == 0xA5);
    record->~T();
    return inside;
}

bool SettingsStayInside(IResource& resource)
{
    auto into = [&](auto& record) { resource.GetSettings(record); };
    switch (resource.GetType()) {
    case rtBufferGPU:
        return WritesInside<BufferSettings>(into);
    case rtShaderGPU:
        return WritesInside<ShaderSettings>(into);
    case rtTextureGPU:
    case rtTextureCPU:
        return WritesInside<TextureSettings>(into);
    case rtStateRaster:
        return WritesInside<RasterSettings>(into);
    case rtStateDepth:
        return WritesInside<DepthSettings>(into);
    case rtStateStencil:
        return WritesInside<StencilSettings>(into);
    case rtStateBlend:
        return WritesInside<BlendSettings>(into);
    default:
        return WritesInside<SamplerSettings>(into);
    }
}

// Runs `body` with a host render; the body's own objects are gone before the host finishes.
void Hosted(const std::function<void(IRender&, Host&)>& body, bool sixteenBitIndices = false)
{
    Host host(sixteenBitIndices);
    body(*host.render, host);
    host.Finish();
}

// ---- the operations of every slot on one object

typedef std::function<void(IRender&, const boost::shared_ptr<IResource>&)> Action;
typedef std::vector<std::pair<const char*, Action>> Actions;

const Actions& Operations()
{
    static const Actions actions = {
        {"LockResource", [](IRender& r, const boost::shared_ptr<IResource>& x) { r.LockResource(x); }},
        {"UnlockResource", [](IRender& r, const boost::shared_ptr<IResource>& x) { r.UnlockResource(x); }},
        {"SetResourceData",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.SetResourceData(DataFor(x), x); }},
        {"TransferResource to a GPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.TransferResource(x, Make(r, GpuTexture)); }},
        {"TransferResource to a CPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.TransferResource(x, Make(r, CpuTexture)); }},
        {"TransferResource from a GPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.TransferResource(Make(r, GpuTexture), x); }},
        {"TransferResource from a CPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.TransferResource(Make(r, CpuTexture), x); }},
        {"SelectResource",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.SelectResource(Cast<IResourceGPU>(x), 0); }},
        {"DeSelectResource",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.DeSelectResource(Cast<IResourceGPU>(x), 0); }},
        {"TargetResource",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.TargetResource(Cast<IResourceGPU>(x), 0); }},
        {"SelectState", [](IRender& r, const boost::shared_ptr<IResource>& x) { r.SelectState(Cast<IState>(x), 0); }},
        {"DestroyResource", [](IRender& r, const boost::shared_ptr<IResource>& x) { r.DestroyResource(x); }},
        {"DestroyResource by pointer",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.DestroyResource(x.get()); }},
        {"DisplayBuffer",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.DisplayBuffer(Cast<IResourceGPU>(x), 0); }},
        {"StampStereoSignature",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.StampStereoSignature(Cast<IResourceGPU>(x)); }},
        {"CreateResourceCPU from it",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { r.CreateResourceCPU(x); }},
        {"Select", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResourceGPU>(x)->Select(0); }},
        {"DeSelect", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResourceGPU>(x)->DeSelect(0); }},
        {"Target", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResourceGPU>(x)->Target(0); }},
        {"state Select", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IState>(x)->Select(nullptr, 0); }},
        {"Destroy", [](IRender&, const boost::shared_ptr<IResource>& x) { x->Destroy(); }},
        {"TransferTo a GPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { x->TransferTo(Make(r, GpuTexture)); }},
        {"TransferTo a CPU texture",
            [](IRender& r, const boost::shared_ptr<IResource>& x) { x->TransferTo(Make(r, CpuTexture)); }},
        {"buffer Lock",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                boost::shared_ptr<IResBufferGPU> buffer = Cast<IResBufferGPU>(x);
                Check(WritesInside<LockedMemory>([&](LockedMemory& locked) { buffer->Lock(locked); }),
                    "buffer Lock writes only its record");
            }},
        {"buffer Unlock", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResBufferGPU>(x)->Unlock(); }},
        {"SetBufferData",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                Cast<IResBufferGPU>(x)->SetBufferData(GuardedBytes(8), 8, 4);
            }},
        {"GPU SetTextureData",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                Cast<IResTextureGPU>(x)->SetTextureData(DataFor(x));
            }},
        {"CPU Lock", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResTextureCPU>(x)->Lock(); }},
        {"CPU Unlock", [](IRender&, const boost::shared_ptr<IResource>& x) { Cast<IResTextureCPU>(x)->Unlock(); }},
        {"CPU SetTextureData",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                Cast<IResTextureCPU>(x)->SetTextureData(GuardedBytes(16), 16, 8);
            }},
        {"SetVertexParameter",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                Cast<IResShaderGPU>(x)->SetVertexParameter("p", ShaderValue::Float(1));
            }},
        {"GetSettings",
            [](IRender&, const boost::shared_ptr<IResource>& x) {
                Check(SettingsStayInside(*x), "GetSettings writes only its record");
            }},
        {"Draw and DrawQuad",
            [](IRender& r, const boost::shared_ptr<IResource>&) {
                r.Draw();
                r.DrawQuad();
            }},
    };
    return actions;
}

// Ways of bringing a fresh object into a life-cycle state. Made without data, buffers and
// CPU textures stay as created.
typedef std::function<boost::shared_ptr<IResource>(IRender&, int kind)> Bring;

const std::vector<std::pair<std::string, Bring>>& NaturalStates()
{
    static const std::vector<std::pair<std::string, Bring>> states = {
        {"made without data",
            [](IRender& r, int kind) {
                if (kind != VertexBuffer && kind != IndexBuffer && kind != CpuTexture)
                    throw NotApplicable();
                return Make(r, kind, false);
            }},
        {"made", [](IRender& r, int kind) { return Make(r, kind); }},
        {"locked",
            [](IRender& r, int kind) {
                if (kind != VertexBuffer && kind != IndexBuffer && kind != CpuTexture)
                    throw NotApplicable();
                boost::shared_ptr<IResource> x = Make(r, kind);
                r.LockResource(x);
                return x;
            }},
        {"selected",
            [](IRender& r, int kind) {
                boost::shared_ptr<IResource> x = Make(r, kind);
                if (kind >= Raster)
                    r.SelectState(Cast<IState>(x), 0);
                else
                    r.SelectResource(Cast<IResourceGPU>(x), 0);
                return x;
            }},
        {"targeted",
            [](IRender& r, int kind) {
                if (kind != GpuTexture)
                    throw NotApplicable();
                boost::shared_ptr<IResource> x = Make(r, kind);
                r.TargetResource(Cast<IResourceGPU>(x), 0);
                return x;
            }},
        {"destroyed",
            [](IRender& r, int kind) {
                boost::shared_ptr<IResource> x = Make(r, kind);
                r.DestroyResource(x);
                return x;
            }},
    };
    return states;
}

// States the host sets itself through SetState, the valid ones and two outside the enumeration.
std::vector<std::pair<std::string, Bring>> ForcedStates()
{
    std::vector<std::pair<std::string, Bring>> states;
    for (uint32_t state : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 99u, 0xFFFFFFFFu})
        states.push_back({"forced to state " + std::to_string(state), [state](IRender& r, int kind) {
                              boost::shared_ptr<IResource> x = Make(r, kind);
                              x->SetState(static_cast<ResourceState>(state));
                              return x;
                          }});
    return states;
}

void StateMatrix(const std::vector<std::pair<std::string, Bring>>& states)
{
    Hosted([&](IRender& render, Host&) {
        // The stereo signature texture is made once per render: make it before counting.
        render.StampStereoSignature(Cast<IResourceGPU>(Make(render, GpuTexture)));
        int baseline = d3d9double::LiveObjects();
        for (int kind = 0; kind < KindCount; ++kind)
            for (const auto& state : states)
                for (const auto& operation : Operations()) {
                    const std::string label = std::string(KindNames[kind]) + " " + state.first + ": " + operation.first;
                    boost::shared_ptr<IResource> x;
                    try {
                        x = state.second(render, kind);
                    } catch (const NotApplicable&) {
                        break;
                    }
                    Try(label, Designed, [&] { operation.second(render, x); });
                    Outcome([&] { render.DestroyResource(x); });
                    x.reset();
                    const int live = d3d9double::LiveObjects();
                    Check(live <= baseline, label + ": releases what it made",
                        std::to_string(live - baseline) + " more Direct3D objects than before");
                    baseline = std::max(baseline, live);
                }
    });
}

// ---- host-made objects: the interfaces implemented by the host itself

class HostTexture : public IResTextureGPU {
public:
    void GetSettings(ResourceHeader& settings) override { static_cast<TextureSettings&>(settings) = TextureSettings(); }
    ResourceState GetState() override { return rsReady; }
    void SetState(ResourceState) override { }
    ResourceType GetType() override { return rtTextureGPU; }
    bool GetFlag() override { return false; }
    void Destroy() override { }
    void TransferTo(boost::shared_ptr<IResource>) override { }
    void SetSettings(boost::weak_ptr<IRender>, const ResourceHeader&) override { }
    void Select(uint32_t) override { }
    void Target(uint32_t) override { }
    void DeSelect(uint32_t) override { }
    IDirect3DSurface9* GetDeviceInterface() override { return nullptr; }
    int32_t GetIndex() override { return 12345; }
    uint32_t IncrementCount() override { return 0; }
    uint32_t DecrementCount() override { return 0; }
    void SetTag(uint32_t) override { }
    uint32_t GetTag() override { return 0; }
    bool MatchesImage(const ImageDescriptor&) override { return false; }
    void SetClearColorEnabled(bool) override { }
    bool GetClearColorEnabled() override { return true; }
    void SetUserFlag(bool) override { }
    bool GetUserFlag() override { return false; }
    void SetImageExtras(uint32_t, uint32_t, uint32_t, bool) override { }
    bool SetTextureData(const void*) override { return true; }
};

class HostBuffer : public IResBufferGPU {
public:
    explicit HostBuffer(uint32_t kind)
        : _kind(kind)
    {
    }
    void GetSettings(ResourceHeader& settings) override
    {
        BufferSettings& buffer = static_cast<BufferSettings&>(settings);
        buffer = BufferSettings();
        buffer.kind = _kind;
        buffer.count = 3;
    }
    ResourceState GetState() override { return rsReady; }
    void SetState(ResourceState) override { }
    ResourceType GetType() override { return rtBufferGPU; }
    bool GetFlag() override { return false; }
    void Destroy() override { }
    void TransferTo(boost::shared_ptr<IResource>) override { }
    void SetSettings(boost::weak_ptr<IRender>, const ResourceHeader&) override { }
    void Select(uint32_t) override { }
    void Target(uint32_t) override { }
    void DeSelect(uint32_t) override { }
    LockedMemory& Lock(LockedMemory& buffer) override { return buffer; }
    void Unlock() override { }
    void SetBufferData(const void*, uint32_t, uint32_t) override { }

private:
    uint32_t _kind;
};

class HostState : public IState {
public:
    explicit HostState(uint32_t type)
        : _type(type)
    {
    }
    void GetSettings(ResourceHeader&) override { }
    ResourceState GetState() override { return rsCreated; }
    void SetState(ResourceState) override { }
    ResourceType GetType() override { return static_cast<ResourceType>(_type); }
    bool GetFlag() override { return false; }
    void Destroy() override { }
    void TransferTo(boost::shared_ptr<IResource>) override { }
    void ReplaceSettings(const ResourceHeader&) override { }
    void SetSettings(boost::weak_ptr<IRender>, const ResourceHeader&) override { }
    void Select(boost::shared_ptr<IState>, uint32_t) override { }

private:
    uint32_t _type;
};

// ---- the units

void EmptyPointers()
{
    Hosted([](IRender& r, Host& host) {
        const boost::shared_ptr<IResource> none;
        const boost::shared_ptr<IResourceGPU> noGpu;
        const boost::shared_ptr<IState> noState;
        Try("GetRenderInfo(null)", Returns, [&] { r.GetRenderInfo(nullptr); });
        Try("GetRenderInfo and GetRenderSettings write only their records", Returns, [&] {
            Check(WritesInside<RenderInfo>([&](RenderInfo& info) { r.GetRenderInfo(&info); }),
                "GetRenderInfo writes only its record");
            Check(WritesInside<RenderSettings>([&](RenderSettings& settings) { r.GetRenderSettings(&settings); }),
                "GetRenderSettings writes only its record");
        });
        Try("GetRenderSettings(null)", Returns, [&] { r.GetRenderSettings(nullptr); });
        Try("CreateResourceCPU(empty source)", Throws(Veltra::ecInvalidParameter), [&] { r.CreateResourceCPU(none); });
        Try("DestroyResource(null pointer)", Returns, [&] { r.DestroyResource(static_cast<IResource*>(nullptr)); });
        Try("DestroyResource(empty)", Returns, [&] { r.DestroyResource(none); });
        Try("LockResource(empty)", Throws(Veltra::ecInvalidParameter), [&] { r.LockResource(none); });
        Try("UnlockResource(empty)", Throws(Veltra::ecInvalidParameter), [&] { r.UnlockResource(none); });
        Try("SetResourceData(null, empty)", Returns, [&] { r.SetResourceData(nullptr, none); });
        Try("TransferResource(empty, empty)", Throws(Veltra::ecInvalidParameter),
            [&] { r.TransferResource(none, none); });
        Try("SelectResource(empty)", Returns, [&] { r.SelectResource(noGpu, 0); });
        Try("DeSelectResource(empty)", Returns, [&] { r.DeSelectResource(noGpu, 0); });
        Try("TargetResource(empty)", Returns, [&] { r.TargetResource(noGpu, 0); });
        Try("SelectState(empty)", Returns, [&] { r.SelectState(noState, 0); });
        Try("DisplayBuffer(empty) answers false", Returns,
            [&] { Check(!r.DisplayBuffer(noGpu, 0), "DisplayBuffer(empty) answers false"); });
        Try("StampStereoSignature(empty)", Returns, [&] { r.StampStereoSignature(noGpu); });
        for (int32_t position : {-1, INT_MIN, INT_MAX, 3})
            Try("GetResourceGPU(" + std::to_string(position) + ")", BadWeakPtr, [&] { r.GetResourceGPU(position); });
        for (int kind = 0; kind < KindCount; ++kind) {
            const boost::shared_ptr<IResource> x = Make(r, kind);
            const std::string name = KindNames[kind];
            const bool texture = kind == GpuTexture || kind == CpuTexture;
            Try(name + " SetResourceData(null)", Returns, [&] { r.SetResourceData(nullptr, x); });
            Try(name + " TransferResource(it, empty)",
                Throws(texture ? Veltra::ecInvalidParameter : Veltra::ecInvalidOperation),
                [&] { r.TransferResource(x, none); });
            Try(name + " TransferTo(empty)", Throws(texture ? Veltra::ecInvalidParameter : Veltra::ecInvalidOperation),
                [&] { x->TransferTo(none); });
            Try(name + " state Select(none)", Returns, [&] { Cast<IState>(x)->Select(noState, 0); });
            Try(name + " SetBufferData(null)", Returns, [&] { Cast<IResBufferGPU>(x)->SetBufferData(nullptr, 4, 0); });
            Try(name + " GPU SetTextureData(null)", Returns, [&] { Cast<IResTextureGPU>(x)->SetTextureData(nullptr); });
            Try(name + " CPU SetTextureData(null)", Returns,
                [&] { Cast<IResTextureCPU>(x)->SetTextureData(nullptr, 16, 0); });
            Try(name + " CPU SetSettingsFrom(empty)", Throws(Veltra::ecInvalidParameter),
                [&] { Cast<IResTextureCPU>(x)->SetSettingsFrom(none); });
            Try(name + " SetVertexParameter(empty name)", Returns,
                [&] { Cast<IResShaderGPU>(x)->SetPixelParameter("", ShaderValue()); });
        }
        // A render initialised without a reference to itself: the objects it makes cannot reach it.
        boost::shared_ptr<IRender> selfless = host.session.NewRender();
        RenderSettings settings = OffscreenSettings();
        Try("Initialize(empty self reference)", BadWeakPtr,
            [&] { selfless->Initialize(boost::weak_ptr<IRender>(), settings); });
        Try("CreateResourceGPU on it", BadWeakPtr, [&] { Make(*selfless, VertexBuffer); });
        Try("CreateResourceCPU on it", BadWeakPtr, [&] { Make(*selfless, CpuTexture); });
        Try("CreateState on it", Returns, [&] { Make(*selfless, Blend); });
        Try("Shutdown of it", Returns, [&] { selfless->Shutdown(); });
        selfless.reset();
        // A window that is not one, then none.
        const boost::shared_ptr<IResourceGPU> frame = Cast<IResourceGPU>(Make(r, GpuTexture));
        Try("ChangeRenderWindow(not a window) then DisplayBuffer", Returns, [&] {
            r.ChangeRenderWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF1234)), 1, 2, 3, 4);
            r.DisplayBuffer(frame, 0);
        });
        Try("ChangeRenderWindow(null) then DisplayBuffer answers false", Returns, [&] {
            r.ChangeRenderWindow(nullptr, 0, 0, 0, 0);
            Check(!r.DisplayBuffer(frame, 0), "DisplayBuffer without a window answers false");
        });
    });
}

static_assert(sizeof(BufferSettings) >= sizeof(TextureSettings) && sizeof(BufferSettings) >= sizeof(ShaderSettings) &&
                  sizeof(BufferSettings) >= sizeof(BlendSettings) && sizeof(BufferSettings) >= sizeof(SamplerSettings) &&
                  sizeof(BufferSettings) >= sizeof(DepthSettings) && sizeof(BufferSettings) >= sizeof(StencilSettings),
              "records with a wrong type code are BufferSettings, the largest");

void TypeCodes()
{
    Hosted([](IRender& r, Host&) {
        for (uint32_t type : {9u, 99u, 0xFFFFFFFFu}) {
            BufferSettings settings;  // the largest settings record: read as any kind, it stays inside
            settings.type = static_cast<ResourceType>(type);
            const std::string code = std::to_string(type);
            Try("CreateResourceGPU(type " + code + ")", Throws(Veltra::ecInvalidParameter),
                [&] { r.CreateResourceGPU(settings); });
            Try("CreateState(type " + code + ")", Throws(Veltra::ecInvalidParameter), [&] { r.CreateState(settings); });
            Try("CreateResourceCPU(type " + code + ")", Throws(Veltra::ecInvalidParameter),
                [&] { r.CreateResourceCPU(settings); });
        }
        // Codes of the wrong family for each creator.
        for (uint32_t type = rtTextureGPU; type <= rtStateTexture; ++type) {
            BufferSettings settings;
            settings.type = static_cast<ResourceType>(type);
            const std::string code = std::to_string(type);
            if (type >= rtStateRaster)
                Try("CreateResourceGPU(state type " + code + ")", Throws(Veltra::ecInvalidParameter),
                    [&] { r.CreateResourceGPU(settings); });
            else
                Try("CreateState(resource type " + code + ")", Throws(Veltra::ecInvalidParameter),
                    [&] { r.CreateState(settings); });
            if (type > rtTextureCPU)
                Try("CreateResourceCPU(type " + code + ")", Throws(Veltra::ecInvalidParameter),
                    [&] { r.CreateResourceCPU(settings); });
        }
    });
}

// Buffers of every kind, component count and element count, with exactly the host data
// their settings promise; Lock must never hand out less than count x pitch bytes.
void BufferSizes(bool sixteenBitIndices, bool overflowing)
{
    Hosted(
        [=](IRender& r, Host&) {
            const std::vector<int32_t> counts = overflowing ? std::vector<int32_t>{INT_MAX, 0x15555556, 0x40000001}
                                                            : std::vector<int32_t>{0, -1, 1, 5, 65537};
            // Index buffers last: on a 16-bit device an overflowing count is what may bring the worker down.
            const std::vector<uint32_t> kinds
                = overflowing ? std::vector<uint32_t>{1, 3, 9, 0} : std::vector<uint32_t>{1, 2, 3, 4, 9, 0xFFFFFFFF, 0};
            const std::vector<uint32_t> componentCounts
                = overflowing ? std::vector<uint32_t>{1, 3, 4} : std::vector<uint32_t>{0, 1, 3, 4, 7, 0xFFFFFFFF};
            for (uint32_t kind : kinds)
                for (uint32_t components : componentCounts)
                    for (int32_t count : counts) {
                        const uint64_t values = components >= 1 && components <= 4 ? components : 1;
                        const uint64_t promised = count > 0 ? static_cast<uint64_t>(count) * values * 4 : 0;
                        const void* data
                            = promised <= (4u << 20) ? GuardedBytes(static_cast<size_t>(promised)) : nullptr;
                        const std::string label = "kind " + std::to_string(kind) + ", components "
                            + std::to_string(components) + ", count " + std::to_string(count);
                        boost::shared_ptr<IResourceGPU> buffer;
                        const size_t callsBefore = d3d9double::CallCount();
                        Try(label + ": create with data", Returns,
                            [&] { buffer = r.CreateResourceGPU(BufferOf(kind, components, count, data)); });
                        if (!buffer)
                            continue;
                        uint64_t d3dBytes = 0;
                        const std::vector<d3d9double::Call> calls = d3d9double::Calls();
                        for (size_t i = callsBefore; i < calls.size(); ++i)
                            if (calls[i].method.find("::Create") != std::string::npos
                                && calls[i].method.find("Buffer") != std::string::npos && calls[i].result == 0)
                                d3dBytes = calls[i].args[0];
                        Try(label + ": LockResource", Returns, [&] {
                            const LockedMemory locked = r.LockResource(buffer);
                            const bool staged
                                = sixteenBitIndices && kind == bkIndices;  // 32-bit staging memory of `count` indices
                            Check(!locked.bits || count <= 0 || staged
                                    || d3dBytes >= static_cast<uint64_t>(count) * locked.pitch,
                                label + ": Lock hands out at least count x pitch bytes",
                                "pitch " + std::to_string(locked.pitch) + " but the Direct3D buffer holds "
                                    + std::to_string(d3dBytes) + " bytes");
                        });
                        Try(label + ": UnlockResource", Returns, [&] { r.UnlockResource(buffer); });
                        Try(label + ": SetResourceData", Returns, [&] { r.SetResourceData(data, buffer); });
                        Try(label + ": SetBufferData past the end", Returns, [&] {
                            Cast<IResBufferGPU>(buffer)->SetBufferData(
                                GuardedBytes(16), 16, static_cast<uint32_t>(promised));
                        });
                        Try(label + ": selected and drawn", Returns, [&] {
                            r.SelectResource(buffer, 0);
                            r.Draw();
                            r.DeSelectResource(buffer, 0);
                        });
                        Try(label + ": DestroyResource", Returns, [&] { r.DestroyResource(buffer); });
                    }
        },
        sixteenBitIndices);
}

// Textures of every format, size and row length, with exactly the host pixels promised.
void TextureSizes()
{
    Hosted([](IRender& r, Host&) {
        const std::pair<int32_t, int32_t> sizes[]
            = {{0, 4}, {-1, 4}, {4, 0}, {5, -1}, {1, 1}, {5, 3}, {100000, 2}, {2, 100000}, {100000, 100000}};
        for (uint32_t format : {0u, 3u, 4u, 6u, 99u, 0xFFFFFFFFu})
            for (const auto& size : sizes) {
                ImageDescriptor image;
                image.pixelWidth = size.first;
                image.pixelHeight = size.second;
                image.pixelFormat = format;
                const int64_t texels = image.GetInternalPixelWidth();
                const int64_t bytesPerTexel = format == pfA8 ? 1 : 4;
                const int64_t row = texels * bytesPerTexel;
                // What Direct3D (here its double, with a 512 MB budget) refuses to make.
                const bool refused = texels <= 0 || size.second <= 0 || row * size.second > (int64_t(512) << 20);
                const std::string name = "format " + std::to_string(format) + ", " + std::to_string(size.first) + " x "
                    + std::to_string(size.second);
                for (int64_t rowBytes : {int64_t(0), int64_t(-4), int64_t(1), row, row + 4}) {
                    const std::string label = name + ", rowBytes " + std::to_string(rowBytes);
                    const int64_t height = std::max<int64_t>(size.second, 0);
                    // The 9Ex path hands the host's rows to Direct3D, which reads them 4-byte aligned.
                    const int64_t readable
                        = rowBytes == row && row % 4 ? (row + 3) / 4 * 4 * height : rowBytes * height;
                    const void* pixels = rowBytes > 0 && readable <= (64 << 20)
                        ? GuardedBytes(static_cast<size_t>(readable))
                        : nullptr;
                    TextureSettings settings = TextureOf(
                        rtTextureGPU, size.first, size.second, format, static_cast<int32_t>(rowBytes), pixels);
                    boost::shared_ptr<IResourceGPU> texture;
                    Try(label + ": create GPU texture with data", refused ? Throws(Veltra::ecOutOfMemory) : Returns,
                        [&] { texture = r.CreateResourceGPU(settings); });
                    if (!texture)
                        continue;
                    const boost::shared_ptr<IResource> copy = Make(r, CpuTexture);
                    Try(label + ": SetResourceData", Returns, [&] { r.SetResourceData(pixels, texture); });
                    Try(label + ": selected", Returns, [&] {
                        r.SelectResource(texture, 0);
                        r.DeSelectResource(texture, 0);
                    });
                    Try(label + ": targeted, cleared and drawn", Returns, [&] {
                        r.TargetResource(texture, 0);
                        r.Clear(0x06);
                        r.DrawQuad();
                        r.DeSelectResource(texture, 0);
                    });
                    Try(label + ": read back into a CPU texture", Returns, [&] { r.TransferResource(texture, copy); });
                    Try(label + ": displayed and stamped", Returns, [&] {
                        r.DisplayBuffer(texture, 0);
                        r.StampStereoSignature(texture);
                    });
                    Try(label + ": DestroyResource", Returns, [&] {
                        r.DestroyResource(texture);
                        r.DestroyResource(copy);
                    });
                }
                // A CPU texture reads width x height texels of the host's pixels, rows one after another.
                const void* pixels = !refused && row * size.second <= (64 << 20)
                    ? GuardedBytes(static_cast<size_t>(row * size.second))
                    : nullptr;
                boost::shared_ptr<IResourceCPU> cpu;
                Try(name + ": create CPU texture with data", refused ? Throws(Veltra::ecOutOfMemory) : Returns, [&] {
                    cpu = r.CreateResourceCPU(TextureOf(rtTextureCPU, size.first, size.second, format, 0, pixels));
                });
                if (!cpu)
                    continue;
                Try(name + ": CPU texture SetResourceData, Lock, SetTextureData", Returns, [&] {
                    r.SetResourceData(pixels, cpu);
                    r.LockResource(cpu);
                    r.UnlockResource(cpu);
                    Cast<IResTextureCPU>(cpu)->SetTextureData(GuardedBytes(4), 4, 0);
                });
                Try(name + ": CPU texture uploaded into a GPU texture", Returns, [&] {
                    const boost::shared_ptr<IResource> gpu = Make(r, GpuTexture);
                    r.TransferResource(cpu, gpu);
                    r.DestroyResource(gpu);
                });
                Try(name + ": CPU texture destroyed", Returns, [&] { r.DestroyResource(cpu); });
            }
    });
}

void UnitsEyesAndMasks()
{
    Hosted([](IRender& r, Host&) {
        const boost::shared_ptr<IResourceGPU> texture = Cast<IResourceGPU>(Make(r, GpuTexture));
        const boost::shared_ptr<IResourceGPU> buffer = Cast<IResourceGPU>(Make(r, VertexBuffer));
        const boost::shared_ptr<IResourceGPU> indices = Cast<IResourceGPU>(Make(r, IndexBuffer));
        const boost::shared_ptr<IResourceGPU> shader = Cast<IResourceGPU>(Make(r, Shader));
        const boost::shared_ptr<IState> sampler = Cast<IState>(Make(r, Sampler));
        for (uint32_t unit : {0u, 7u, 8u, 15u, 16u, 255u, 256u, 257u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            const std::string u = " on unit " + std::to_string(unit);
            for (const boost::shared_ptr<IResourceGPU>& x : {texture, buffer, indices, shader})
                Try(KindNames[x == texture ? GpuTexture
                            : x == shader  ? Shader
                            : x == buffer  ? VertexBuffer
                                           : IndexBuffer]
                        + std::string(" selected, drawn, deselected") + u,
                    Returns, [&] {
                        r.SelectResource(x, unit);
                        r.Draw();
                        r.DrawQuad();
                        r.DeSelectResource(x, unit);
                    });
            Try("texture targeted" + u, Returns, [&] {
                r.TargetResource(texture, unit);
                r.DeSelectResource(texture, unit);
            });
        }
        for (int32_t unit : {-1, 8, 9, INT_MAX, INT_MIN})
            Try("SelectState on unit " + std::to_string(unit), Returns, [&] { r.SelectState(sampler, unit); });
        for (uint32_t eye : {0u, 1u, 2u, 3u, 7u, 0xFFFFFFFFu})
            Try("DisplayBuffer for eye " + std::to_string(eye), Returns, [&] {
                Check(r.DisplayBuffer(texture, eye), "DisplayBuffer(eye " + std::to_string(eye) + ") shows the frame");
            });
        for (int mask = 0; mask <= 0xFF; ++mask)
            Try("Clear(" + std::to_string(mask) + ") then a target", Returns, [&] {
                r.Clear(static_cast<uint8_t>(mask));
                r.TargetResource(texture, 0);
                r.DeSelectResource(texture, 0);
            });
    });
}

// Values outside every enumeration, infinities, NaN and extremes in states and render settings.
void StateAndSettingValues()
{
    Hosted([](IRender& r, Host& host) {
        const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
        const double doubles[] = {nan, inf, -inf, 1e300, -1e300, -0.0, 4.9e-324, 255.5};
        const uint32_t enums[] = {5, 16, 99, 0x80000000u, 0xFFFFFFFFu};
        std::vector<std::pair<std::string, std::function<boost::shared_ptr<IState>()>>> states;
        for (double d : doubles) {
            const std::string v = std::to_string(d);
            for (int i = 0; i < 4; ++i)
                states.push_back({"blend colour[" + std::to_string(i) + "] " + v, [=, &r] {
                                      BlendSettings s;
                                      s.blendColor[i] = d;
                                      return r.CreateState(s);
                                  }});
            states.push_back({"depth bias " + v, [=, &r] {
                                  DepthSettings s;
                                  s.depthBias = d;
                                  s.depthExtra1 = d;
                                  return r.CreateState(s);
                              }});
            states.push_back({"border colour " + v, [=, &r] {
                                  SamplerSettings s;
                                  s.borderColor[0] = s.borderColor[3] = d;
                                  return r.CreateState(s);
                              }});
        }
        for (uint32_t e : enums) {
            const std::string v = std::to_string(e);
            states.push_back({"blend enumerations " + v, [=, &r] {
                                  BlendSettings s;
                                  s.colorBlendEquation = s.srcColorFactor = s.dstColorFactor = e;
                                  s.alphaBlendEquation = s.srcAlphaFactor = s.dstAlphaFactor = e;
                                  return r.CreateState(s);
                              }});
            states.push_back({"depth function " + v, [=, &r] {
                                  DepthSettings s;
                                  s.depthFunction = e;
                                  return r.CreateState(s);
                              }});
            states.push_back({"raster enumerations " + v, [=, &r] {
                                  RasterSettings s;
                                  s.cullFace = s.fillMode = s.frontWinding = e;
                                  return r.CreateState(s);
                              }});
            states.push_back({"stencil enumerations and masks " + v, [=, &r] {
                                  StencilSettings s;
                                  s.stencilFunction = s.opOnFail = s.opOnDepthFail = s.opOnDepthPass = e;
                                  s.referenceValue = s.valueMask = s.writeMask = e;
                                  return r.CreateState(s);
                              }});
            states.push_back({"sampler enumerations " + v, [=, &r] {
                                  SamplerSettings s;
                                  s.minFiltering = s.maxFiltering = s.wrapHorizontal = s.wrapVertical = e;
                                  s.maxAnisotropy = static_cast<int32_t>(e);
                                  return r.CreateState(s);
                              }});
        }
        const boost::shared_ptr<IState> defaults[] = {r.CreateState(BlendSettings()), r.CreateState(DepthSettings()),
            r.CreateState(RasterSettings()), r.CreateState(StencilSettings()), r.CreateState(SamplerSettings())};
        for (const auto& state : states)
            Try(state.first + ": created, selected twice, after a default, replaced", Returns, [&] {
                const boost::shared_ptr<IState> x = state.second();
                const boost::shared_ptr<IState> twin = state.second();
                r.SelectState(x, 0);
                r.SelectState(twin, 0);
                for (const boost::shared_ptr<IState>& d : defaults)
                    if (d->GetType() == x->GetType())
                        r.SelectState(d, 0);
                r.SelectState(x, 7);
                Check(SettingsStayInside(*x), state.first + ": GetSettings writes only its record");
                r.DestroyResource(x);
                r.DestroyResource(twin);
            });
        // Render settings: sizes and aspects that give no projection or no swap chain.
        const int32_t lengths[] = {0, -1, 1, 100000, INT_MIN, INT_MAX};
        const double aspects[] = {1.0, 0.0, -1.0, nan, inf, -inf, 1e308, 4.9e-324};
        for (int32_t width : lengths)
            for (double aspect : aspects) {
                const int32_t height = width == 1 ? 48 : width;
                const std::string label = "second render " + std::to_string(width) + " x " + std::to_string(height)
                    + ", aspect " + std::to_string(aspect);
                Try(label + ": Initialize, display, Shutdown", Returns, [&] {
                    boost::shared_ptr<IRender> other = host.session.NewRender();
                    RenderSettings settings = OffscreenSettings(width, height);
                    settings.pixelAspect = aspect;
                    settings.window = HostWindowHandle();
                    Check(InitializeRender(other, settings), label + ": Initialize succeeds");
                    Check(WritesInside<RenderSettings>([&](RenderSettings& back) { other->GetRenderSettings(&back); }),
                        label + ": GetRenderSettings writes only its record");
                    const boost::shared_ptr<IResourceGPU> frame = Cast<IResourceGPU>(Make(*other, GpuTexture));
                    other->DrawQuad();
                    other->DisplayBuffer(frame, 0);
                    other->Shutdown();
                });
            }
    });
}

void WrongKinds()
{
    Hosted([](IRender& r, Host& host) {
        // Every kind as the source and as the destination of a transfer.
        for (int from = 0; from < KindCount; ++from)
            for (int to = 0; to < KindCount; ++to) {
                const bool texture = from == GpuTexture || from == CpuTexture;
                const bool works = (from == GpuTexture && (to == GpuTexture || to == CpuTexture))
                    || (from == CpuTexture && to == GpuTexture);
                Try(std::string("TransferResource from a ") + KindNames[from] + " to a " + KindNames[to],
                    works ? Returns : Throws(texture ? Veltra::ecInvalidParameter : Veltra::ecInvalidOperation),
                    [&] { r.TransferResource(Make(r, from), Make(r, to)); });
            }
        for (int kind = 0; kind < KindCount; ++kind) {
            const boost::shared_ptr<IResource> x = Make(r, kind);
            const std::string name = KindNames[kind];
            const bool lockable = kind == VertexBuffer || kind == IndexBuffer || kind == CpuTexture;
            Try("LockResource of a " + name, lockable ? Returns : Throws(Veltra::ecInvalidParameter),
                [&] { r.LockResource(x); });
            Try("UnlockResource of a " + name, lockable ? Returns : Throws(Veltra::ecInvalidParameter),
                [&] { r.UnlockResource(x); });
            Try("SetResourceData of a " + name, Returns, [&] { r.SetResourceData(DataFor(x), x); });
            Try("CreateResourceCPU from a " + name, kind == GpuTexture ? Returns : Throws(Veltra::ecInvalidParameter),
                [&] { r.CreateResourceCPU(x); });
            Try("TargetResource of a " + name, kind == GpuTexture ? Returns : Throws(Veltra::ecInvalidOperation), [&] {
                r.TargetResource(Cast<IResourceGPU>(x), 0);
                r.DeSelectResource(Cast<IResourceGPU>(x), 0);
            });
            Try("DisplayBuffer of a " + name, Returns, [&] {
                Check(r.DisplayBuffer(Cast<IResourceGPU>(x), 0) == (kind == GpuTexture),
                    "DisplayBuffer shows only GPU textures");
            });
            Try("StampStereoSignature on a " + name, Returns, [&] { r.StampStereoSignature(Cast<IResourceGPU>(x)); });
        }
        // The host's own implementations of the interfaces.
        const boost::shared_ptr<IResourceGPU> hostTexture(new HostTexture());
        const boost::shared_ptr<IResourceGPU> plugTexture = Cast<IResourceGPU>(Make(r, GpuTexture));
        const boost::shared_ptr<IResource> plugCpu = Make(r, CpuTexture);
        Try("host texture selected, targeted, drawn, deselected", Returns, [&] {
            r.SelectResource(hostTexture, 0);
            r.TargetResource(hostTexture, 0);
            r.Clear(0x06);
            r.DrawQuad();
            r.DeSelectResource(hostTexture, 0);
        });
        Try("host texture displayed answers false", Returns,
            [&] { Check(!r.DisplayBuffer(hostTexture, 0), "host texture not shown"); });
        Try("host texture stamped", Returns, [&] { r.StampStereoSignature(hostTexture); });
        Try("GPU texture transferred into a host texture", Returns,
            [&] { r.TransferResource(plugTexture, hostTexture); });
        Try("CPU texture transferred into a host texture", Returns, [&] { r.TransferResource(plugCpu, hostTexture); });
        Try("CPU texture copied from a host texture (it takes the source's render, here none)", Designed,
            [&] { r.DestroyResource(r.CreateResourceCPU(hostTexture)); });
        Try("host texture destroyed through the render", Returns, [&] { r.DestroyResource(hostTexture); });
        for (uint32_t kind : {uint32_t(bkIndices), uint32_t(bkPositions), 9u}) {
            const boost::shared_ptr<IResourceGPU> hostBuffer(new HostBuffer(kind));
            Try("host buffer of kind " + std::to_string(kind) + " locked, selected and drawn with the render's buffers",
                Returns, [&] {
                    r.LockResource(hostBuffer);
                    r.UnlockResource(hostBuffer);
                    r.SetResourceData(GuardedBytes(0), hostBuffer);
                    const boost::shared_ptr<IResourceGPU> positions = Cast<IResourceGPU>(Make(r, VertexBuffer));
                    r.SelectResource(hostBuffer, 0);
                    r.SelectResource(positions, 0);
                    r.Draw();
                    r.DrawQuad();
                    r.DeSelectResource(hostBuffer, 0);
                    r.DeSelectResource(positions, 0);
                    r.DestroyResource(positions);
                });
        }
        for (uint32_t type : {uint32_t(rtTextureGPU), uint32_t(rtStateBlend), uint32_t(rtStateTexture), 99u}) {
            const boost::shared_ptr<IState> hostState(new HostState(type));
            const boost::shared_ptr<IState> plugState = Cast<IState>(Make(r, type == rtStateTexture ? Sampler : Blend));
            Try("host state of type " + std::to_string(type) + " selected before and after the render's own", Returns,
                [&] {
                    r.SelectState(hostState, 0);
                    r.SelectState(plugState, 0);
                    r.SelectState(hostState, 0);
                    plugState->Select(hostState, 0);
                });
        }
        // Another render's objects bound here, then that render destroyed.
        {
            boost::shared_ptr<IRender> other = host.session.NewRender();
            RenderSettings settings = OffscreenSettings();
            InitializeRender(other, settings);
            const boost::shared_ptr<IResourceGPU> positions = Cast<IResourceGPU>(Make(*other, VertexBuffer));
            const boost::shared_ptr<IResourceGPU> indices = Cast<IResourceGPU>(Make(*other, IndexBuffer));
            const boost::shared_ptr<IResourceGPU> shader = Cast<IResourceGPU>(Make(*other, Shader));
            const boost::shared_ptr<IResourceGPU> texture = Cast<IResourceGPU>(Make(*other, GpuTexture));
            Try("another render's objects drawn here", Returns, [&] {
                for (const boost::shared_ptr<IResourceGPU>& x : {positions, indices, shader, texture})
                    r.SelectResource(x, 0);
                r.Draw();
                r.DrawQuad();
                r.DisplayBuffer(texture, 0);
            });
            Try("that render shut down and destroyed", Returns, [&] {
                other->Shutdown();
                other.reset();
            });
            Try("its objects, still bound, drawn and unbound here", Designed, [&] {
                r.Draw();
                r.DrawQuad();
                r.DisplayBuffer(texture, 0);
                for (const boost::shared_ptr<IResourceGPU>& x : {positions, indices, shader, texture})
                    Outcome([&] { r.DeSelectResource(x, 0); });
            });
        }
    });
}

// One object made in a life-cycle state, then its render gone: destroyed without Shutdown,
// or alive with its reference to itself expired. The render's end must release what it made;
// every operation on the object must end as designed; nothing may be left.
void OrphanedObjects(bool renderDestroyed)
{
    for (const auto& state : NaturalStates())
        for (int kind = 0; kind < KindCount; ++kind) {
            const std::string name = std::string(KindNames[kind]) + " " + state.first;
            Session session;
            cgdouble::SetParameter("p", CG_C, CG_FLOAT4, 3);
            boost::shared_ptr<IRender> render = session.NewRender();
            boost::shared_ptr<IRender> self
                = renderDestroyed ? render : boost::shared_ptr<IRender>(render.get(), [](IRender*) {});
            RenderSettings settings = OffscreenSettings(64, 48);
            settings.window = HostWindowHandle();
            render->Initialize(self, settings);
            boost::shared_ptr<IResource> orphan;
            try {
                orphan = state.second(*render, kind);
            } catch (const NotApplicable&) {
                continue;
            }
            self.reset();
            if (renderDestroyed) {
                Try(name + ": render destroyed without Shutdown", Returns, [&] { render.reset(); });
                Check(d3d9double::LiveObjects() == 0, name + ": the render's destruction releases the device",
                    "still referenced: " + LiveDirect3D());
                render = session.NewRender();  // another render, for the slots
                InitializeRender(render, settings);
            } else {
                Try(name + ": CreateResourceGPU after the reference expired", BadWeakPtr,
                    [&] { Make(*render, VertexBuffer); });
                Try(name + ": CreateResourceCPU after the reference expired", BadWeakPtr,
                    [&] { Make(*render, CpuTexture); });
                Try(name + ": CreateState after the reference expired", Returns, [&] { Make(*render, Blend); });
            }
            for (const auto& operation : Operations())
                Try(name + ": " + operation.first, Designed, [&] { operation.second(*render, orphan); });
            Try(name + ": Shutdown and release of the render", Designed, [&] {
                render->Shutdown();
                render.reset();
            });
            orphan.reset();
            const Leftovers left = session.End();
            Check(left.Describe().empty(), name + ": nothing left", "left behind: " + left.Describe());
        }
}

// A render that never had a device, and one whose device the last Shutdown released.
void RenderWithoutDevice(bool afterShutdown)
{
    Session session;
    boost::shared_ptr<IRender> render = session.NewRender();
    if (afterShutdown) {
        RenderSettings settings = OffscreenSettings();
        InitializeRender(render, settings);
        render->Shutdown();
    }
    IRender& r = *render;
    // Never initialised, a render has no reference to itself to give its resources.
    const auto withoutDevice = afterShutdown ? Throws(Veltra::ecInvalidOperation) : BadWeakPtr;
    Try("CreateResourceGPU(buffer)", withoutDevice, [&] { Make(r, VertexBuffer); });
    Try("CreateResourceGPU(texture)", withoutDevice, [&] { Make(r, GpuTexture); });
    Try("CreateResourceGPU(shader)", withoutDevice, [&] { Make(r, Shader); });
    Try("CreateResourceCPU", withoutDevice, [&] { Make(r, CpuTexture); });
    Try("CreateState", Returns, [&] { Make(r, Blend); });
    Try("Draw, DrawQuad, Clear", Returns, [&] {
        r.Draw();
        r.DrawQuad();
        r.Clear(0x06);
        r.Clear(0x16);
        r.TargetResource(boost::shared_ptr<IResourceGPU>(), 0);
    });
    Try("Flush answers false", Returns, [&] { Check(!r.Flush(true), "Flush without a device answers false"); });
    Try("CheckRender answers false", Returns,
        [&] { Check(!r.CheckRender(), "CheckRender without a device answers false"); });
    Try("DisplayBuffer answers false", Returns,
        [&] { Check(!r.DisplayBuffer(boost::shared_ptr<IResourceGPU>(new HostTexture()), 0), "nothing shown"); });
    Try("StampStereoSignature", Returns,
        [&] { r.StampStereoSignature(boost::shared_ptr<IResourceGPU>(new HostTexture())); });
    Try("GetResourceGPU(0)", afterShutdown ? Designed : BadWeakPtr, [&] { r.GetResourceGPU(0); });
    Try("ReleaseExtraMemory, GetRenderInfo, GetShaderLevel, QueryFlag", Returns, [&] {
        r.ReleaseExtraMemory();
        Check(WritesInside<RenderInfo>([&](RenderInfo& info) { r.GetRenderInfo(&info); }),
            "GetRenderInfo writes only its record");
        r.GetShaderLevel();
        r.QueryFlag();
    });
    Try("Shutdown answers true", Returns, [&] { Check(r.Shutdown(), "Shutdown answers true"); });
    render.reset();
    const Leftovers left = session.End();
    Check(left.Describe().empty(), "nothing left", "left behind: " + left.Describe());
}

std::vector<Unit> BuildUnits(const Options& options)
{
    const std::string g1 = "empty pointers, type codes, wrong kinds";
    const std::string g2 = "sizes and values out of range";
    const std::string g3 = "life-cycle states";
    const std::string g4 = "expired and missing renders";
    std::vector<Unit> units = {
        {g1, "empty pointers and references", EmptyPointers},
        {g1, "type codes outside every family", TypeCodes},
        {g1, "the wrong kind of object in every slot, the host's own objects, another render's", WrongKinds},
        {g2, "buffers: kinds, components, counts (32-bit indices)", [] { BufferSizes(false, false); }},
        {g2, "buffers: kinds, components, counts (16-bit indices)", [] { BufferSizes(true, false); }},
        {g2, "buffers: counts whose bytes overflow 32 bits (32-bit indices)", [] { BufferSizes(false, true); }},
        {g2, "buffers: counts whose bytes overflow 32 bits (16-bit indices)", [] { BufferSizes(true, true); }},
        {g2, "textures: formats, sizes, row lengths", TextureSizes},
        {g2, "units, eyes, clear masks", UnitsEyesAndMasks},
        {g2, "states and render settings: enumerations, infinities, NaN", StateAndSettingValues},
        {g3, "every operation on every kind in every natural state", [] { StateMatrix(NaturalStates()); }},
        {g3, "every operation on every kind in every state the host forces", [] { StateMatrix(ForcedStates()); }},
        {g4, "objects whose render was destroyed first", [] { OrphanedObjects(true); }},
        {g4, "objects whose render's reference to itself expired", [] { OrphanedObjects(false); }},
        {g4, "a render never initialised", [] { RenderWithoutDevice(false); }},
        {g4, "a render after its last Shutdown", [] { RenderWithoutDevice(true); }},
        {"shader parameter fuzz", "random uploads for a bounded time", [options] { ShaderParameterFuzz(options); }},
    };
    for (Unit& unit : units) {
        std::function<void()> run = unit.run;
        unit.run = [run] {
            const size_t before = InputsTried();
            g_endings.clear();
            run();
            std::string endings;
            for (const auto& ending : g_endings)
                endings += (endings.empty() ? " (" : ", ") + ending.first + " " + std::to_string(ending.second);
            Note(std::to_string(InputsTried() - before) + " inputs tried" + (endings.empty() ? "" : endings + ")"));
        };
    }
    return units;
}

}  // namespace

int main(int argc, char** argv)
{
    return Main(argc, argv, "Bad input sweep of VeltraRenderDirectX: every slot with bad input, in every state",
        "bad-input-report.txt", BuildUnits);
}
