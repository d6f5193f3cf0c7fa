// The Direct3D 9 double. Every object shares one vtable of generic stubs; a stub logs its call
// and does what the slot table says for the object's interface and the slot: create an object,
// hand out what the object holds, fill in a record, bind or hand out a render target or vertex
// declaration, keep or answer shader constants, lock memory, or nothing. Slots are named from
// the C view of the interfaces, whose vtable structures name every method. The tests call the
// plug-in from one thread at a time, so the double takes no lock.
#define CINTERFACE
#include "D3D9Double.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>

#define SITE __builtin_return_address(0)

namespace d3d9double {
namespace {

using Fn = void (*)();
enum Type { D3D, Device, SwapChain, Texture, Surface, VertexBuffer, IndexBuffer, VertexShader, PixelShader, Declaration, Query };
const char* const InterfaceNames[] = {"IDirect3D9", "IDirect3DDevice9", "IDirect3DSwapChain9", "IDirect3DTexture9",
    "IDirect3DSurface9", "IDirect3DVertexBuffer9", "IDirect3DIndexBuffer9", "IDirect3DVertexShader9",
    "IDirect3DPixelShader9", "IDirect3DVertexDeclaration9", "IDirect3DQuery9"};
const Fn* Vtable();

// An object lives while it has public references (`refs`) or holders (`holds`: its owner, a
// device binding); while refs > 0 it keeps a reference on its parent, as Direct3D's resources
// keep their device.
struct Object {
    Object(Type type, bool ex, Object* parent) : type(type), ex(ex), parent(parent) {}
    const Fn* vtbl = Vtable();  // first: callers reach the methods through it
    Type type;
    bool ex;
    Object* parent;
    ULONG refs = 0;
    int holds = 0;
    // What it holds: a swap chain's back buffer or a texture's level surface, first; a
    // device's render targets (1-3), vertex declaration (4), vertex and pixel shader (5, 6)
    // and the textures of sampler units 0-15 (7-22).
    Object* bound[23] = {};
    uint8_t* bits = nullptr;  // lockable bytes that end where an inaccessible page begins
    size_t size = 0;
    UINT pitch = 0;
    void* region = nullptr;
};

struct Script {
    std::string method;
    HRESULT result;
    unsigned first, count;
};

struct State {
    std::vector<Call> calls;
    std::map<std::string, unsigned> numbers;
    std::vector<Script> scripts;
    std::set<Object*> live;
    Settings settings;
};

State& S()  // never destroyed: the plug-in may still release objects while the process exits
{
    static State* state = new State();
    return *state;
}

void Unhold(Object* object);

void Free(Object* object)
{
    S().live.erase(object);
    for (Object* held : object->bound)
        if (held) {
            held->parent = held->parent == object ? nullptr : held->parent;  // a device binding may keep it
            Unhold(held);
        }
    if (object->region)
        VirtualFree(object->region, 0, MEM_RELEASE);
    delete object;
}

void Unhold(Object* object)
{
    if (--object->holds == 0 && object->refs == 0)
        Free(object);
}

ULONG Acquire(Object* object)
{
    if (object->refs++ == 0 && object->parent)
        Acquire(object->parent);
    return object->refs;
}

ULONG Drop(Object* object)
{
    const ULONG count = --object->refs;
    Object* parent = object->parent;
    if (count == 0 && object->holds == 0)
        Free(object);
    if (count == 0 && parent)
        Drop(parent);
    return count;
}

Object* Make(Type type, bool ex, Object* parent)  // with one reference
{
    Object* object = *S().live.insert(new Object(type, ex, parent)).first;
    Acquire(object);
    return object;
}

void Hold(Object*& slot, Object* next)
{
    if (next)
        ++next->holds;
    if (slot)
        Unhold(slot);
    slot = next;
}

// Gives the object `size` lockable bytes that end where an inaccessible page begins.
void Store(Object* object, size_t size)
{
    const size_t pages = (size + 4095) / 4096 * 4096;
    uint8_t* region = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages + 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(region + pages, 4096, PAGE_NOACCESS, &old);
    object->region = region;
    object->bits = region + pages - size;
    object->size = size;
}

// Numbers and logs one call; a script for this call number replaces `natural` as the answer.
HRESULT Enter(const Object* self, const std::string& method, HRESULT natural, const void* site)
{
    const std::string name = self ? InterfaceNames[self->type] + ("::" + method) : method;
    const unsigned number = ++S().numbers[name];
    for (const Script& script : S().scripts)
        natural = script.method == name && number >= script.first && number - script.first < script.count ? script.result : natural;
    if (S().calls.size() < 100000)  // a caller polling in a loop does not fill the memory
        S().calls.push_back({name, natural, reinterpret_cast<uintptr_t>(site)});
    return natural;
}

// ---- the slot table

enum class Effect { None, Create, Give, Fill, DepthStencil, Bind, Bound, Constants, Lock };
enum Record { Caps, Identifier, Mode };

// `arg` is the argument (from 1, after `this`) the effect works through; `extra` is the type a
// creator makes, the record a fill copies, the binding (-1: render target number arg 1, -2:
// sampler unit arg 1), the constants (+1 pixel, +2 read) or the lock (1: a texture's).
struct Entry {
    Type type;
    const char* name;
    size_t slot;
    Effect effect;
    int arg, extra;
};

#define E(type, vtbl, method, ...) {type, #method, offsetof(vtbl, method) / sizeof(Fn), __VA_ARGS__}
#define DIRECT3D(method, ...) E(D3D, IDirect3D9ExVtbl, method, __VA_ARGS__)
#define DEVICE(method, ...) E(Device, IDirect3DDevice9ExVtbl, method, __VA_ARGS__)
#define NONE Effect::None, 0, 0

const Entry Entries[] = {
    DIRECT3D(GetAdapterIdentifier, Effect::Fill, 3, Identifier), DIRECT3D(GetAdapterDisplayMode, Effect::Fill, 2, Mode),
    DIRECT3D(GetDeviceCaps, Effect::Fill, 3, Caps), DIRECT3D(CheckDepthStencilMatch, Effect::DepthStencil, 0, 0),
    DIRECT3D(CreateDevice, Effect::Create, 6, Device), DIRECT3D(CreateDeviceEx, Effect::Create, 7, Device),
    DEVICE(GetDeviceCaps, Effect::Fill, 1, Caps), DEVICE(CreateAdditionalSwapChain, Effect::Create, 2, SwapChain),
    DEVICE(CreateTexture, Effect::Create, 7, Texture), DEVICE(CreateVertexBuffer, Effect::Create, 5, VertexBuffer),
    DEVICE(CreateIndexBuffer, Effect::Create, 5, IndexBuffer), DEVICE(CreateVertexShader, Effect::Create, 2, VertexShader),
    DEVICE(CreatePixelShader, Effect::Create, 2, PixelShader), DEVICE(CreateVertexDeclaration, Effect::Create, 2, Declaration),
    DEVICE(CreateQuery, Effect::Create, 2, Query), DEVICE(GetRenderTarget, Effect::Bound, 2, -1),
    DEVICE(SetRenderTarget, Effect::Bind, 2, -1), DEVICE(GetVertexDeclaration, Effect::Bound, 1, 4),
    DEVICE(SetVertexDeclaration, Effect::Bind, 1, 4), DEVICE(GetVertexShader, Effect::Bound, 1, 5),
    DEVICE(SetVertexShader, Effect::Bind, 1, 5), DEVICE(GetPixelShader, Effect::Bound, 1, 6),
    DEVICE(SetPixelShader, Effect::Bind, 1, 6), DEVICE(GetTexture, Effect::Bound, 2, -2),
    DEVICE(SetTexture, Effect::Bind, 2, -2), DEVICE(SetVertexShaderConstantF, Effect::Constants, 2, 0),
    DEVICE(SetPixelShaderConstantF, Effect::Constants, 2, 1), DEVICE(GetVertexShaderConstantF, Effect::Constants, 2, 2),
    DEVICE(GetPixelShaderConstantF, Effect::Constants, 2, 3),
    E(SwapChain, IDirect3DSwapChain9Vtbl, GetBackBuffer, Effect::Give, 3, 0),
    E(Texture, IDirect3DTexture9Vtbl, GetSurfaceLevel, Effect::Give, 2, 0),
    E(Texture, IDirect3DTexture9Vtbl, LockRect, Effect::Lock, 2, 1),
    E(VertexBuffer, IDirect3DVertexBuffer9Vtbl, Lock, Effect::Lock, 3, 0),
    E(IndexBuffer, IDirect3DIndexBuffer9Vtbl, Lock, Effect::Lock, 3, 0),
    DEVICE(TestCooperativeLevel, NONE), DEVICE(UpdateSurface, NONE), DEVICE(UpdateTexture, NONE),
    DEVICE(GetRenderTargetData, NONE), DEVICE(StretchRect, NONE), DEVICE(BeginScene, NONE), DEVICE(EndScene, NONE),
    DEVICE(Clear, NONE), DEVICE(SetViewport, NONE), DEVICE(SetRenderState, NONE),
    DEVICE(SetSamplerState, NONE), DEVICE(DrawIndexedPrimitive, NONE), DEVICE(SetStreamSource, NONE), DEVICE(SetIndices, NONE),
    DEVICE(SetGPUThreadPriority, NONE), E(SwapChain, IDirect3DSwapChain9Vtbl, Present, NONE),
    E(Surface, IDirect3DSurface9Vtbl, GetDesc, NONE), E(Texture, IDirect3DTexture9Vtbl, UnlockRect, NONE),
    E(VertexBuffer, IDirect3DVertexBuffer9Vtbl, Unlock, NONE), E(IndexBuffer, IDirect3DIndexBuffer9Vtbl, Unlock, NONE),
    E(Query, IDirect3DQuery9Vtbl, Issue, NONE), E(Query, IDirect3DQuery9Vtbl, GetData, NONE),
};

constexpr size_t MaxSlots = sizeof(IDirect3DDevice9ExVtbl) / sizeof(Fn);

uint32_t Arg(const uint64_t* a, int n) { return static_cast<uint32_t>(a[n - 1]); }  // its slot may carry junk above
template <class T = void> T* Pointer(const uint64_t* a, int n) { return reinterpret_cast<T*>(a[n - 1]); }
UINT BytesPerTexel(D3DFORMAT format) { return format == D3DFMT_A8 || format == D3DFMT_L8 ? 1 : 4; }

// Like an adapter's memory, the double's refuses a resource larger than 256 MB.
HRESULT Budget(uint64_t bytes)
{
    return !bytes ? D3DERR_INVALIDCALL : bytes > (uint64_t(256) << 20) ? D3DERR_OUTOFVIDEOMEMORY : D3D_OK;
}

// A creator's own answer to its arguments.
HRESULT Refusal(Type made, const uint64_t* a)
{
    const D3DPRESENT_PARAMETERS* pp = Pointer<D3DPRESENT_PARAMETERS>(a, made == Device ? 5 : 1);
    switch (made) {
    case SwapChain: return pp ? Budget(uint64_t(pp->BackBufferWidth) * pp->BackBufferHeight * 4) : D3DERR_INVALIDCALL;
    case Texture: return Budget(uint64_t(Arg(a, 1)) * BytesPerTexel(D3DFORMAT(Arg(a, 5))) * Arg(a, 2));
    case VertexBuffer:
    case IndexBuffer: return Budget(Arg(a, 1));
    case VertexShader:
    case PixelShader: {  // Direct3D refuses a shader of a version above the device's
        const DWORD* tokens = Pointer<DWORD>(a, 1);
        const DWORD supported = made == PixelShader ? S().settings.caps.PixelShaderVersion : S().settings.caps.VertexShaderVersion;
        return tokens && (*tokens & 0xFF00) <= (supported & 0xFF00) ? D3D_OK : D3DERR_INVALIDCALL;
    }
    default: return pp || made == Query ? D3D_OK : D3DERR_INVALIDCALL;  // a device's present parameters, the elements
    }
}

Object* Created(Object* self, Type made, const uint64_t* a)
{
    Object* object = Make(made, made == Device && self->ex, self);
    Object* surface = made == Device || made == SwapChain || made == Texture ? Make(Surface, false, object) : nullptr;
    if (surface) {  // the object's own, held by it
        Hold(object->bound[0], surface);
        Drop(surface);
    }
    if (made == Device) {
        Hold(object->bound[1], surface);  // the render target: the back buffer
        S().settings.present = *Pointer<D3DPRESENT_PARAMETERS>(a, 5);
        S().settings.flags = Arg(a, 4);
    } else if (made == Texture) {
        const size_t row = size_t(Arg(a, 1)) * BytesPerTexel(D3DFORMAT(Arg(a, 5)));
        object->pitch = UINT(row + 3) & ~3u;
        Store(object, size_t(object->pitch) * Arg(a, 2));
        // A 9Ex system-memory texture made on the caller's pixels reads them all.
        const HANDLE* shared = Arg(a, 6) == D3DPOOL_SYSTEMMEM ? Pointer<HANDLE>(a, 8) : nullptr;
        volatile uint8_t sum = 0;
        for (size_t i = 0; shared && *shared && i < row * Arg(a, 2); ++i)
            sum = sum + static_cast<const uint8_t*>(*shared)[i];
    } else if (made == VertexBuffer || made == IndexBuffer) {
        Store(object, Arg(a, 1));
    }
    return object;
}

HRESULT Generic(Object* self, size_t slot, const uint64_t* a, const void* site)
{
    if (slot == offsetof(IUnknownVtbl, AddRef) / sizeof(Fn))
        return Acquire(self);
    if (slot == offsetof(IUnknownVtbl, Release) / sizeof(Fn))
        return self->refs ? Drop(self) : 0;
    const Entry* e = std::find_if(std::begin(Entries), std::end(Entries),
        [&](const Entry& entry) { return entry.type == self->type && entry.slot == slot; });
    if (e == std::end(Entries))
        return Enter(self, "slot " + std::to_string(slot), E_NOTIMPL, site);
    // Direct3D checks a query's arguments before the driver is asked (and before any script):
    // its data may be null only with a size of 0.
    if (self->type == Query && std::strcmp(e->name, "GetData") == 0 && !Pointer(a, 1) && Arg(a, 2))
        return D3DERR_INVALIDCALL;
    Settings& s = S().settings;
    void* p = e->arg ? Pointer(a, e->arg) : nullptr;
    // A device holds its render targets from its second binding on: its first holds its back buffer.
    const UINT binding = e->extra == -1 ? Arg(a, 1) + 1 : e->extra == -2 ? Arg(a, 1) + 7 : UINT(e->extra);
    float(*constants)[4] = e->extra & 1 ? s.pixelConstants : s.vertexConstants;
    HRESULT natural = p || !e->arg ? D3D_OK : D3DERR_INVALIDCALL;
    if (e->effect == Effect::Create)  // without an out-pointer: nothing made, D3D_OK, as CreateQuery's probe expects
        natural = p ? Refusal(Type(e->extra), a) : D3D_OK;
    else if (e->effect == Effect::DepthStencil)
        for (const auto& [format, result] : s.depthStencil)
            natural = format == D3DFORMAT(Arg(a, 5)) ? result : natural;
    else if (e->effect == Effect::Bind || e->effect == Effect::Bound)  // render target 0, declaration, shaders, samplers
        natural = (binding == 1 && (p || e->effect == Effect::Bound)) || (binding >= 4 && binding < 23) ? D3D_OK
                                                                                                     : D3DERR_INVALIDCALL;
    else if (e->effect == Effect::Constants)
        natural = p && uint64_t(Arg(a, 1)) + Arg(a, 3) <= 256 ? D3D_OK : D3DERR_INVALIDCALL;
    else if (e->effect == Effect::Lock)
        natural = p && (e->extra ? !Arg(a, 1) : Arg(a, 1) <= self->size && Arg(a, 2) <= self->size - Arg(a, 1)) ? D3D_OK
                                                                                                         : D3DERR_INVALIDCALL;
    const HRESULT hr = Enter(self, e->name, natural, site);
    const bool ok = SUCCEEDED(hr) && SUCCEEDED(natural);
    const std::pair<const void*, size_t> records[] = {{&s.caps, sizeof s.caps}, {&s.identifier, sizeof s.identifier},
        {&s.mode, sizeof s.mode}};
    if (e->effect == Effect::Create && p)
        *static_cast<Object**>(p) = ok ? Created(self, Type(e->extra), a) : nullptr;
    else if ((e->effect == Effect::Give || e->effect == Effect::Bound) && p) {  // what it holds, with a new reference
        Object* given = *static_cast<Object**>(p) = ok ? self->bound[e->effect == Effect::Give ? 0 : binding] : nullptr;
        if (given)
            Acquire(given);
    }
    else if (e->effect == Effect::Bind && ok)
        Hold(self->bound[binding], static_cast<Object*>(p));
    else if (e->effect == Effect::Fill && ok)
        std::memcpy(p, records[e->extra].first, records[e->extra].second);
    else if (e->effect == Effect::Constants && ok)
        std::memcpy(e->extra & 2 ? p : constants[Arg(a, 1)], e->extra & 2 ? constants[Arg(a, 1)] : p, size_t(Arg(a, 3)) * 16);
    else if (e->effect == Effect::Lock && p && e->extra)
        *static_cast<D3DLOCKED_RECT*>(p) = ok ? D3DLOCKED_RECT{INT(self->pitch), self->bits} : D3DLOCKED_RECT{};
    else if (e->effect == Effect::Lock && p)
        *static_cast<void**>(p) = ok ? self->bits + Arg(a, 1) : nullptr;
    return hr;
}

// Win64 passes `this` and three arguments in registers and the rest in 8-byte stack slots
// that the caller cleans up: one signature with the most arguments reads every method's
// integer and pointer arguments, and those a method lacks are never read.
template <size_t Slot>
HRESULT STDMETHODCALLTYPE Stub(Object* self, uint64_t a1, uint64_t a2, uint64_t a3, uint64_t a4, uint64_t a5,
    uint64_t a6, uint64_t a7, uint64_t a8, uint64_t a9)
{
    const uint64_t args[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
    return Generic(self, Slot, args, SITE);
}

template <size_t... I> std::array<Fn, MaxSlots> Stubs(std::index_sequence<I...>)
{
    return {reinterpret_cast<Fn>(&Stub<I>)...};
}

const Fn* Vtable()
{
    static const std::array<Fn, MaxSlots> vtbl = Stubs(std::make_index_sequence<MaxSlots>());
    return vtbl.data();
}

}  // namespace

void Reset()
{
    S().calls.clear();
    S().numbers.clear();
    S().scripts.clear();
    Settings& s = S().settings = Settings();
    s.caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    s.caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    s.caps.PS20Caps.Caps = 0x1F;
    s.caps.MaxVertexIndex = 0xFFFFFF;
    s.caps.MaxAnisotropy = 16;
    s.identifier.VendorId = 0x10DE;
    s.mode = {1280, 1024, 60, D3DFMT_X8R8G8B8};
}

Settings& Current()
{
    static const bool ready = (Reset(), true);
    (void)ready;
    return S().settings;
}

void Fail(const std::string& method, HRESULT result, unsigned count, unsigned skip)
{
    S().scripts.push_back({method, result, S().numbers[method] + skip + 1, count});
}

std::vector<Call> Calls() { return S().calls; }
void ClearCalls() { S().calls.clear(); }

std::vector<IUnknown*> LiveObjects(const std::string& interfaceName)
{
    std::vector<IUnknown*> objects;
    for (Object* object : S().live)
        if (object->refs > 0 && (interfaceName.empty() || interfaceName == InterfaceNames[object->type]
                || (object->ex && interfaceName == InterfaceNames[object->type] + std::string("Ex"))))
            objects.push_back(reinterpret_cast<IUnknown*>(object));
    return objects;
}

}  // namespace d3d9double

using namespace d3d9double;

extern "C" __declspec(dllexport) IDirect3D9* WINAPI Direct3DCreate9(UINT)
{
    Current();
    return SUCCEEDED(Enter(nullptr, "Direct3DCreate9", D3D_OK, SITE)) ? reinterpret_cast<IDirect3D9*>(Make(D3D, false, nullptr)) : nullptr;
}

extern "C" __declspec(dllexport) HRESULT WINAPI Direct3DCreate9Ex(UINT, IDirect3D9Ex** out)
{
    Current();
    const HRESULT hr = Enter(nullptr, "Direct3DCreate9Ex", out ? D3D_OK : D3DERR_INVALIDCALL, SITE);
    if (out)
        *out = SUCCEEDED(hr) ? reinterpret_cast<IDirect3D9Ex*>(Make(D3D, true, nullptr)) : nullptr;
    return hr;
}
