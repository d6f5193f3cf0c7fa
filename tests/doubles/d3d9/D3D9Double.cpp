// Core of the Direct3D 9 double: object lifetime, the call log and its scripts, the
// vtables and the control API. Every vtable slot starts as one generic stub that logs the
// call and answers its script; D3D9DoubleObjects.cpp places the hand-written methods.
#include "D3D9DoubleInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>
#include <utility>

namespace d3d9double {
namespace detail {
namespace {

#include "D3D9Methods.inc"

struct Script {
    std::string method;
    HRESULT result;
    unsigned first, count;
};

struct State {
    std::recursive_mutex mutex;
    std::vector<Call> calls;
    std::vector<Script> scripts;
    std::map<std::string, unsigned> numbers;
    std::unordered_set<FakeObject*> live;
    Settings settings;
};

// Never destroyed: the plug-in may still release objects while the process exits.
State& S()
{
    static State* state = new State();
    return *state;
}

void SetDefaults(State& s)
{
    s.calls.clear();
    s.scripts.clear();
    s.numbers.clear();
    Settings& d = s.settings;
    d = Settings();

    D3DCAPS9& c = d.caps;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP | D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_FULLSCREENGAMMA;
    c.Caps3 = D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD | D3DCAPS3_COPY_TO_VIDMEM
        | D3DCAPS3_COPY_TO_SYSTEMMEM;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_PUREDEVICE
        | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_TEXTUREVIDEOMEMORY
        | D3DDEVCAPS_EXECUTEVIDEOMEMORY | D3DDEVCAPS_CANRENDERAFTERFLIP;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW
        | D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_SEPARATEALPHABLEND | D3DPMISCCAPS_BLENDOP
        | D3DPMISCCAPS_MRTINDEPENDENTBITDEPTHS;
    c.RasterCaps = D3DPRASTERCAPS_SCISSORTEST | D3DPRASTERCAPS_ANISOTROPY | D3DPRASTERCAPS_ZTEST
        | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_DEPTHBIAS
        | D3DPRASTERCAPS_SLOPESCALEDEPTHBIAS;
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;  // every D3DPCMPCAPS_*
    c.SrcBlendCaps = c.DestBlendCaps = 0x1FFF;  // every D3DPBLENDCAPS_* up to INVSRCCOLOR2
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    c.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_PROJECTED
        | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_VOLUMEMAP;
    c.TextureFilterCaps = c.CubeTextureFilterCaps = c.VolumeTextureFilterCaps
        = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC
        | D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT
        | D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.TextureAddressCaps = c.VolumeTextureAddressCaps = D3DPTADDRESSCAPS_WRAP
        | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER
        | D3DPTADDRESSCAPS_MIRRORONCE | D3DPTADDRESSCAPS_INDEPENDENTUV;
    c.MaxTextureWidth = c.MaxTextureHeight = c.MaxTextureRepeat = c.MaxTextureAspectRatio = 8192;
    c.MaxVolumeExtent = 2048;
    c.MaxAnisotropy = 16;
    c.MaxVertexW = 1e10f;
    c.StencilCaps = 0x1FF;  // every D3DSTENCILCAPS_*
    c.FVFCaps = 8;
    c.MaxTextureBlendStages = c.MaxSimultaneousTextures = 8;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7
        | D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS;
    c.MaxActiveLights = c.MaxUserClipPlanes = 8;
    c.MaxVertexBlendMatrices = 4;
    c.MaxPointSize = 8192.0f;
    c.MaxPrimitiveCount = c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 1024;
    c.VertexShaderVersion = 0xFFFE0300;
    c.MaxVertexShaderConst = 256;
    c.PixelShaderVersion = 0xFFFF0300;
    c.PixelShader1xMaxValue = 8.0f;
    c.DevCaps2 = D3DDEVCAPS2_STREAMOFFSET | D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES;
    c.NumberOfAdaptersInGroup = 1;
    c.DeclTypes = D3DDTCAPS_UBYTE4 | D3DDTCAPS_UBYTE4N | D3DDTCAPS_SHORT2N | D3DDTCAPS_SHORT4N
        | D3DDTCAPS_FLOAT16_2 | D3DDTCAPS_FLOAT16_4;
    c.NumSimultaneousRTs = 1;
    c.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR
        | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    c.VS20Caps = {D3DVS20CAPS_PREDICATION, 24, 32, 4};
    c.PS20Caps = {0x1F, 24, 32, 4, 512};
    c.VertexTextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    c.MaxVShaderInstructionsExecuted = c.MaxPShaderInstructionsExecuted = 65535;
    c.MaxVertexShader30InstructionSlots = c.MaxPixelShader30InstructionSlots = 32768;

    D3DADAPTER_IDENTIFIER9& id = d.identifier;
    strcpy(id.Driver, "nvd3dumx.dll");
    strcpy(id.Description, "Direct3D Double Adapter");
    strcpy(id.DeviceName, "\\\\.\\DISPLAY1");
    id.DriverVersion.HighPart = 0x00080011;
    id.DriverVersion.LowPart = 0x000C0D8E;  // 8.17.12.3470
    id.VendorId = 0x10DE;
    id.DeviceId = 0x06CD;
    id.WHQLLevel = 1;

    d.mode = {1280, 1024, 60, D3DFMT_X8R8G8B8};

    // Sensible answers of generic methods that return a value rather than an HRESULT.
    const std::pair<const char*, uint32_t> values[] = {
        {"IDirect3D9::GetAdapterCount", 1},
        {"IDirect3DDevice9::GetAvailableTextureMem", 512u << 20},
        {"IDirect3DDevice9::GetNumberOfSwapChains", 1},
        {"IDirect3DTexture9::GetLevelCount", 1},
        {"IDirect3DTexture9::GetType", D3DRTYPE_TEXTURE},
        {"IDirect3DSurface9::GetType", D3DRTYPE_SURFACE},
        {"IDirect3DVertexBuffer9::GetType", D3DRTYPE_VERTEXBUFFER},
        {"IDirect3DIndexBuffer9::GetType", D3DRTYPE_INDEXBUFFER},
        {"IDirect3DQuery9::GetType", D3DQUERYTYPE_EVENT},
        {"IDirect3DQuery9::GetDataSize", sizeof(BOOL)},
    };
    for (const auto& [method, value] : values)
        s.scripts.push_back({method, static_cast<HRESULT>(value), 1, UINT_MAX});
}

State& Ready()
{
    static const bool once = (SetDefaults(S()), true);
    (void)once;
    return S();
}

// ---- IUnknown

const std::string& NameOf(const FakeObject* self, const char* method)
{
    const Kind& kind = *self->kind;
    for (size_t i = 0; i < kind.methods.size(); ++i)
        if (strcmp(kind.methods[i]->name, method) == 0)
            return kind.names[i];
    static const std::string unknown = "?";
    return unknown;
}

HRESULT STDMETHODCALLTYPE QueryInterface(FakeObject* self, REFIID riid, void** out)
{
    auto lock = Lock();
    const auto& iids = self->kind->iids;
    const bool known
        = riid == __uuidof(IUnknown) || std::find(iids.begin(), iids.end(), riid) != iids.end();
    HRESULT natural = known ? S_OK : E_NOINTERFACE;
    if (!out)
        natural = E_POINTER;
    const HRESULT hr = Answer(self, "QueryInterface", Args(&riid, out), natural);
    if (!out)
        return hr;
    *out = SUCCEEDED(hr) ? self : nullptr;
    if (SUCCEEDED(hr))
        Acquire(self);
    return hr;
}

ULONG STDMETHODCALLTYPE AddRef(FakeObject* self)
{
    auto lock = Lock();
    const ULONG count = Acquire(self);
    Enter(self, NameOf(self, "AddRef"), {}, count, false);
    return count;
}

ULONG STDMETHODCALLTYPE Release(FakeObject* self)
{
    auto lock = Lock();
    const ULONG count = self->refs ? self->refs - 1 : 0;
    Enter(self, NameOf(self, "Release"), {}, count, false);  // before the object may go
    if (self->refs)
        Drop(self);
    return count;
}

// ---- vtables

// Win64 passes the first four arguments in RCX, RDX, R8, R9 (`this` and three) and the rest
// in 8-byte stack slots, which the caller cleans up. So one signature with the most
// arguments any method has reads every method's integer and pointer arguments; the ones a
// method lacks are never looked at. A float among the first three arguments travels in an
// XMM register instead and is logged as junk (only IDirect3DDevice9::SetNPatchMode has
// one); further on it sits in its stack slot and is logged as its bit pattern.
constexpr size_t kMaxSlots = 134;  // IDirect3DDevice9Ex

uint64_t Generic(FakeObject* self, size_t slot, const uint64_t* raw)
{
    auto lock = Lock();
    const Kind& kind = *self->kind;
    std::vector<uint64_t> args;
    for (const char* a = kind.methods[slot]->args; *a; ++a, ++raw)
        args.push_back(*a == 'p' ? *raw : *raw & 0xFFFFFFFFu);  // 32-bit slots may carry junk above
    return Enter(self, kind.names[slot], std::move(args), 0);
}

template <size_t Slot>
uint64_t STDMETHODCALLTYPE Stub(FakeObject* self, uint64_t a1, uint64_t a2, uint64_t a3,
    uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7, uint64_t a8, uint64_t a9)
{
    const uint64_t raw[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
    return Generic(self, Slot, raw);
}

template <size_t... I> std::vector<Fn> Stubs(std::index_sequence<I...>)
{
    return {Slot(&Stub<I>)...};
}

struct Table {
    const Method* methods = nullptr;
    size_t count = 0;
};
template <size_t N> Table Of(const Method (&methods)[N])
{
    return {methods, N};
}

struct Interface {
    Type type;
    const char* name;
    Table base;
    std::vector<IID> iids;
    Table ex;
    IID exIid;
};

bool Declares(const Table& table, const char* method)
{
    for (size_t i = 0; i < table.count; ++i)
        if (strcmp(table.methods[i].name, method) == 0)
            return true;
    return false;
}

Kind Build(const Interface& in, bool ex, const std::vector<Fn>& stubs,
    const std::vector<Override>& overrides)
{
    Kind kind{in.type, ex, in.name, {}, {}, {}, in.iids};
    for (size_t i = 0; i < in.base.count; ++i) {
        kind.methods.push_back(&in.base.methods[i]);
        kind.names.push_back(kind.name + "::" + in.base.methods[i].name);
    }
    for (size_t i = 0; ex && i < in.ex.count; ++i) {
        kind.methods.push_back(&in.ex.methods[i]);
        kind.names.push_back(kind.name + "Ex::" + in.ex.methods[i].name);
    }
    if (ex)
        kind.iids.push_back(in.exIid);
    if (kind.methods.size() > stubs.size())
        abort();
    kind.vtbl.assign(stubs.begin(), stubs.begin() + kind.methods.size());
    for (const Override& o : overrides) {
        if (!o.everywhere && o.type != in.type)
            continue;
        size_t slot = 0;
        while (slot < kind.methods.size() && strcmp(kind.methods[slot]->name, o.method) != 0)
            ++slot;
        if (slot < kind.methods.size()) {
            kind.vtbl[slot] = o.fn;
        } else if (!o.everywhere && !Declares(in.ex, o.method)) {
            fprintf(stderr, "d3d9 double: %s has no method %s\n", in.name, o.method);
            abort();
        }
    }
    return kind;
}

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = [] {
        const std::vector<Fn> stubs = Stubs(std::make_index_sequence<kMaxSlots>());
        std::vector<Override> overrides = HandWritten();
        overrides.push_back({Type::D3D, "QueryInterface", Slot(&QueryInterface), true});
        overrides.push_back({Type::D3D, "AddRef", Slot(&AddRef), true});
        overrides.push_back({Type::D3D, "Release", Slot(&Release), true});
        const IID resource = __uuidof(IDirect3DResource9);
        const Interface interfaces[] = {
            {Type::D3D, "IDirect3D9", Of(kDirect3D9), {__uuidof(IDirect3D9)}, Of(kDirect3D9Ex),
                __uuidof(IDirect3D9Ex)},
            {Type::Device, "IDirect3DDevice9", Of(kDirect3DDevice9), {__uuidof(IDirect3DDevice9)},
                Of(kDirect3DDevice9Ex), __uuidof(IDirect3DDevice9Ex)},
            {Type::SwapChain, "IDirect3DSwapChain9", Of(kDirect3DSwapChain9),
                {__uuidof(IDirect3DSwapChain9)}, Of(kDirect3DSwapChain9Ex),
                __uuidof(IDirect3DSwapChain9Ex)},
            {Type::Texture, "IDirect3DTexture9", Of(kDirect3DTexture9),
                {__uuidof(IDirect3DTexture9), __uuidof(IDirect3DBaseTexture9), resource}, {}, {}},
            {Type::Surface, "IDirect3DSurface9", Of(kDirect3DSurface9),
                {__uuidof(IDirect3DSurface9), resource}, {}, {}},
            {Type::VertexBuffer, "IDirect3DVertexBuffer9", Of(kDirect3DVertexBuffer9),
                {__uuidof(IDirect3DVertexBuffer9), resource}, {}, {}},
            {Type::IndexBuffer, "IDirect3DIndexBuffer9", Of(kDirect3DIndexBuffer9),
                {__uuidof(IDirect3DIndexBuffer9), resource}, {}, {}},
            {Type::VertexShader, "IDirect3DVertexShader9", Of(kDirect3DVertexShader9),
                {__uuidof(IDirect3DVertexShader9)}, {}, {}},
            {Type::PixelShader, "IDirect3DPixelShader9", Of(kDirect3DPixelShader9),
                {__uuidof(IDirect3DPixelShader9)}, {}, {}},
            {Type::Declaration, "IDirect3DVertexDeclaration9", Of(kDirect3DVertexDeclaration9),
                {__uuidof(IDirect3DVertexDeclaration9)}, {}, {}},
            {Type::Query, "IDirect3DQuery9", Of(kDirect3DQuery9), {__uuidof(IDirect3DQuery9)}, {},
                {}},
        };
        std::vector<Kind> built;
        for (const Interface& in : interfaces) {
            built.push_back(Build(in, false, stubs, overrides));
            if (in.ex.count)
                built.push_back(Build(in, true, stubs, overrides));
        }
        return built;
    }();
    return kinds;
}

}  // namespace

// The Ex variant where the interface has one, the plain kind otherwise.
const Kind& KindOf(Type type, bool ex)
{
    const Kind* plain = nullptr;
    for (const Kind& kind : Kinds()) {
        if (kind.type != type)
            continue;
        if (kind.ex == ex)
            return kind;
        plain = &kind;
    }
    return *plain;
}

// ---- lifetime

std::unique_lock<std::recursive_mutex> Lock()
{
    return std::unique_lock<std::recursive_mutex>(Ready().mutex);
}

void Register(FakeObject* object)
{
    S().live.insert(object);
}

bool IsLive(const void* object, Type type)
{
    auto& live = S().live;
    auto it = live.find(static_cast<FakeObject*>(const_cast<void*>(object)));
    return it != live.end() && (*it)->kind->type == type;
}

namespace {
void Free(FakeObject* object)
{
    S().live.erase(object);
    object->destroy(object);
}
}  // namespace

FakeObject::~FakeObject()
{
    for (FakeObject* child : owned) {
        child->parent = parent;  // only survives while a device binding holds it
        Unhold(child);
    }
}

ULONG Acquire(FakeObject* object)
{
    if (object->refs++ == 0 && object->parent)
        Acquire(object->parent);
    return object->refs;
}

ULONG Drop(FakeObject* object)
{
    const ULONG count = --object->refs;
    if (count == 0) {
        FakeObject* parent = object->parent;
        if (object->holds == 0)
            Free(object);
        if (parent)
            Drop(parent);
    }
    return count;
}

void Unhold(FakeObject* object)
{
    if (--object->holds == 0 && object->refs == 0)
        Free(object);
}

// ---- log and scripts

uint64_t Enter(const void* object, const std::string& method, std::vector<uint64_t> args,
    uint64_t natural, bool scriptable)
{
    auto lock = Lock();
    State& s = S();
    const unsigned number = ++s.numbers[method];
    uint64_t result = natural;
    for (auto it = s.scripts.rbegin(); scriptable && it != s.scripts.rend(); ++it) {
        if (it->method == method && number >= it->first && number - it->first < it->count) {
            result = static_cast<uint32_t>(it->result);
            break;
        }
    }
    s.calls.push_back({method, std::move(args), static_cast<HRESULT>(result), object});
    return result;
}

HRESULT Answer(
    const FakeObject* self, const char* method, std::vector<uint64_t> args, HRESULT natural)
{
    return static_cast<HRESULT>(
        Enter(self, NameOf(self, method), std::move(args), static_cast<uint32_t>(natural)));
}

Settings& Current()
{
    return Ready().settings;
}

}  // namespace detail

// ---- control API

using namespace detail;

void Reset()
{
    auto lock = Lock();
    SetDefaults(S());
}

D3DCAPS9& Caps()
{
    return Current().caps;
}
D3DADAPTER_IDENTIFIER9& AdapterIdentifier()
{
    return Current().identifier;
}
D3DDISPLAYMODE& DisplayMode()
{
    return Current().mode;
}

void SetDepthStencilMatch(D3DFORMAT depthStencilFormat, HRESULT result)
{
    auto lock = Lock();
    Current().depthStencil.emplace_back(depthStencilFormat, result);
}

void SetCreate9ReturnsNull(bool returnsNull)
{
    auto lock = Lock();
    Current().create9ReturnsNull = returnsNull;
}

void SetCreate9ExResult(HRESULT result)
{
    auto lock = Lock();
    Current().create9ExResult = result;
}

void SetResult(const std::string& method, HRESULT result, unsigned first, unsigned count)
{
    auto lock = Lock();
    S().scripts.push_back({method, result, first, count});
}

void SetNextResults(const std::string& method, HRESULT result, unsigned count)
{
    auto lock = Lock();
    S().scripts.push_back({method, result, S().numbers[method] + 1, count});
}

std::vector<Call> Calls()
{
    auto lock = Lock();
    return S().calls;
}

size_t CallCount()
{
    auto lock = Lock();
    return S().calls.size();
}

std::vector<Call> CallsTo(const std::string& method)
{
    auto lock = Lock();
    std::vector<Call> calls;
    for (const Call& call : S().calls)
        if (call.method == method)
            calls.push_back(call);
    return calls;
}

size_t CountCalls(const std::string& method)
{
    auto lock = Lock();
    const auto& calls = S().calls;
    return std::count_if(
        calls.begin(), calls.end(), [&](const Call& c) { return c.method == method; });
}

void ClearCalls()
{
    auto lock = Lock();
    S().calls.clear();
}

int LiveObjects()
{
    return LiveObjects(std::string());
}

std::vector<IUnknown*> LiveObjectsOf(const std::string& interfaceName)
{
    auto lock = Lock();
    std::vector<IUnknown*> objects;
    for (FakeObject* object : S().live) {
        const Kind& kind = *object->kind;
        const bool named = interfaceName.empty() || interfaceName == kind.name
            || (kind.ex && interfaceName == kind.name + "Ex");
        if (named && object->refs > 0)
            objects.push_back(reinterpret_cast<IUnknown*>(object));
    }
    return objects;
}

int LiveObjects(const std::string& interfaceName)
{
    return static_cast<int>(LiveObjectsOf(interfaceName).size());
}

ULONG RefCount(const void* object)
{
    auto lock = Lock();
    const auto& live = S().live;
    auto it = live.find(static_cast<FakeObject*>(const_cast<void*>(object)));
    return it == live.end() ? 0 : (*it)->refs;
}

const D3DPRESENT_PARAMETERS* DevicePresentParameters()
{
    auto lock = Lock();
    return Current().haveDevice ? &Current().lastPresent : nullptr;
}

DWORD DeviceBehaviorFlags()
{
    auto lock = Lock();
    return Current().lastFlags;
}

std::array<float, 4> VertexConstant(UINT reg)
{
    auto lock = Lock();
    std::array<float, 4> value{};
    if (reg < 256)
        std::copy_n(Current().vertexConstants.begin() + 4 * reg, 4, value.begin());
    return value;
}

std::array<float, 4> PixelConstant(UINT reg)
{
    auto lock = Lock();
    std::array<float, 4> value{};
    if (reg < 256)
        std::copy_n(Current().pixelConstants.begin() + 4 * reg, 4, value.begin());
    return value;
}

}  // namespace d3d9double
