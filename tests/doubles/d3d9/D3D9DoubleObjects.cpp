// The hand-written methods of the double: those that create objects, fill out-parameters
// or hold memory, and the two entry points. Each logs its call through Answer before it
// acts, with the answer it would give by itself as the natural result; a scripted failure
// returns before anything is created and leaves out-pointers null.
#include "D3D9DoubleInternal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace d3d9double {
namespace detail {
namespace {

// The texels of a surface, or of a texture's level 0 (shared with its level surface).
// A 9Ex system-memory texture created over the caller's pixels uses that memory instead.
struct Image {
    UINT width = 0, height = 0, pitch = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    DWORD usage = 0;
    std::shared_ptr<std::vector<uint8_t>> storage;
    uint8_t* bits = nullptr;
};

struct Device : FakeObject {
    D3DPRESENT_PARAMETERS present{};
    FakeObject* swapChain = nullptr;  // the implicit one, owned
    std::array<FakeObject*, 4> targets{};  // render targets, held while bound
    FakeObject* declaration = nullptr;     // the vertex declaration, held while bound
    ~Device()
    {
        for (FakeObject* target : targets)
            if (target)
                Unhold(target);
        if (declaration)
            Unhold(declaration);
    }
};
struct SwapChain : FakeObject {
    D3DPRESENT_PARAMETERS present{};
    FakeObject* backBuffer = nullptr;  // owned
};
struct Surface : FakeObject {
    Image image;
};
struct Texture : FakeObject {
    Image image;
    FakeObject* level = nullptr;  // owned
};
struct Buffer : FakeObject {
    std::vector<uint8_t> data;
    DWORD usage = 0, fvf = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
};
struct Declaration : FakeObject {
    std::vector<D3DVERTEXELEMENT9> elements;
};

template <class T> T* As(const void* object)
{
    return static_cast<T*>(static_cast<FakeObject*>(const_cast<void*>(object)));
}

HRESULT Invalid(bool bad)
{
    return bad ? D3DERR_INVALIDCALL : D3D_OK;
}

// Like a real adapter, the double has a video-memory budget: a resource larger than
// it is refused instead of allocated.
const uint64_t MemoryBudget = uint64_t(512) << 20;

HRESULT Refusal(bool bad, uint64_t bytes)
{
    return bad ? D3DERR_INVALIDCALL : bytes > MemoryBudget ? D3DERR_OUTOFVIDEOMEMORY : D3D_OK;
}

uint64_t ImageBytes(UINT width, UINT height, D3DFORMAT format);

template <class I> void Put(I** out, FakeObject* object)
{
    if (out)
        *out = reinterpret_cast<I*>(object);
}

// Hands out an existing object with a new reference.
template <class I> HRESULT Hand(HRESULT hr, I** out, FakeObject* object)
{
    Put(out, nullptr);
    if (SUCCEEDED(hr) && out && object) {
        Acquire(object);
        Put(out, object);
    }
    return hr;
}

template <class T> HRESULT Fill(HRESULT hr, T* out, const T& value)
{
    if (SUCCEEDED(hr) && out)
        *out = value;
    return hr;
}

FakeObject* DeviceOf(FakeObject* object)
{
    while (object && object->kind->type != Type::Device)
        object = object->parent;
    return object;
}

// ---- texels

UINT BytesPerTexel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_P8:
        return 1;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_L16:
    case D3DFMT_R16F:
    case D3DFMT_D16:
        return 2;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F:
        return 8;
    case D3DFMT_A32B32G32R32F:
        return 16;
    default:
        return 4;
    }
}

uint64_t ImageBytes(UINT width, UINT height, D3DFORMAT format)
{
    return uint64_t(width) * BytesPerTexel(format) * height;
}

Image NewImage(
    UINT width, UINT height, D3DFORMAT format, D3DPOOL pool, DWORD usage, void* userBits = nullptr)
{
    const UINT pitch = (width * BytesPerTexel(format) + 3) & ~3u;
    Image image{
        width, height, pitch, format, pool, usage, nullptr, static_cast<uint8_t*>(userBits)};
    if (!image.bits) {
        image.storage = std::make_shared<std::vector<uint8_t>>(size_t(pitch) * height);
        image.bits = image.storage->data();
    }
    return image;
}

Image* ImageOf(const void* object)
{
    if (IsLive(object, Type::Surface))
        return &As<Surface>(object)->image;
    if (IsLive(object, Type::Texture))
        return &As<Texture>(object)->image;
    return nullptr;
}

RECT Whole(const Image& image)
{
    return {0, 0, LONG(image.width), LONG(image.height)};
}

bool Inside(const Image& image, const RECT& r)
{
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom
        && UINT(r.right) <= image.width && UINT(r.bottom) <= image.height;
}

uint8_t* At(const Image& image, LONG x, LONG y)
{
    return image.bits + size_t(y) * image.pitch + size_t(x) * BytesPerTexel(image.format);
}

// Copies rectangle `from` of `src` onto `to` of `dst`, sampling the nearest texel, so that
// equal sizes copy one to one. With apply = false it only tells whether it could.
bool Blit(const Image* src, const RECT* from, Image* dst, const RECT* to, bool apply)
{
    if (!src || !dst)
        return false;
    const RECT s = from ? *from : Whole(*src), d = to ? *to : Whole(*dst);
    const UINT bpp = BytesPerTexel(src->format);
    if (bpp != BytesPerTexel(dst->format) || !Inside(*src, s) || !Inside(*dst, d))
        return false;
    const LONG sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left,
               dh = d.bottom - d.top;
    for (LONG y = 0; apply && y < dh; ++y)
        for (LONG x = 0; x < dw; ++x)
            memcpy(At(*dst, d.left + x, d.top + y),
                At(*src, s.left + LONG(int64_t(x) * sw / dw), s.top + LONG(int64_t(y) * sh / dh)), bpp);
    return true;
}

bool SameSize(const Image* a, const Image* b)
{
    return a && b && a->width == b->width && a->height == b->height;
}

HRESULT LockImage(const FakeObject* self, const char* method, std::vector<uint64_t> args,
    const Image& image, D3DLOCKED_RECT* locked, const RECT* rect)
{
    const RECT r = rect ? *rect : Whole(image);
    const bool bad = !locked || !Inside(image, r);
    const HRESULT hr = Answer(self, method, std::move(args), Invalid(bad));
    if (locked)
        *locked = {0, nullptr};
    if (SUCCEEDED(hr) && !bad)
        *locked = {INT(image.pitch), At(image, r.left, r.top)};
    return hr;
}

D3DSURFACE_DESC DescOf(const Image& i)
{
    return {i.format, D3DRTYPE_SURFACE, i.usage, i.pool, D3DMULTISAMPLE_NONE, 0, i.width, i.height};
}

// ---- IDirect3D9 / IDirect3D9Ex

HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(
    FakeObject* self, UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* out)
{
    auto lock = Lock();
    return Fill(
        Answer(self, "GetAdapterIdentifier", Args(adapter, flags, out), Invalid(adapter || !out)),
        out, Current().identifier);
}

HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(FakeObject* self, UINT adapter, D3DDISPLAYMODE* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetAdapterDisplayMode", Args(adapter, out), Invalid(adapter || !out)),
        out, Current().mode);
}

HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(FakeObject* self, UINT adapter, D3DDEVTYPE type,
    D3DFORMAT adapterFormat, D3DFORMAT targetFormat, D3DFORMAT depthFormat)
{
    auto lock = Lock();
    HRESULT natural = D3D_OK;
    for (const auto& [format, result] : Current().depthStencil)
        if (format == depthFormat)
            natural = result;
    return Answer(self, "CheckDepthStencilMatch",
        Args(adapter, type, adapterFormat, targetFormat, depthFormat), natural);
}

HRESULT STDMETHODCALLTYPE GetAdapterCaps(
    FakeObject* self, UINT adapter, D3DDEVTYPE type, D3DCAPS9* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetDeviceCaps", Args(adapter, type, out), Invalid(adapter || !out)),
        out, Current().caps);
}

// What Direct3D fills in for zeros: the display mode's size and format, one back buffer.
D3DPRESENT_PARAMETERS Completed(const D3DPRESENT_PARAMETERS& given, HWND window)
{
    D3DPRESENT_PARAMETERS pp = given;
    const D3DDISPLAYMODE& mode = Current().mode;
    if (!pp.BackBufferWidth)
        pp.BackBufferWidth = mode.Width;
    if (!pp.BackBufferHeight)
        pp.BackBufferHeight = mode.Height;
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN)
        pp.BackBufferFormat = mode.Format;
    if (!pp.BackBufferCount)
        pp.BackBufferCount = 1;
    if (!pp.hDeviceWindow)
        pp.hDeviceWindow = window;
    return pp;
}

SwapChain* MakeSwapChain(FakeObject* device, const D3DPRESENT_PARAMETERS& pp, bool implicit)
{
    auto* chain = Make<SwapChain>(Type::SwapChain, device->kind->ex, device, implicit);
    chain->present = pp;
    auto* back = Make<Surface>(Type::Surface, false, chain, true);
    back->image = NewImage(pp.BackBufferWidth, pp.BackBufferHeight, pp.BackBufferFormat,
        D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    chain->backBuffer = back;
    return chain;
}

HRESULT NewDevice(FakeObject* self, const char* method, std::vector<uint64_t> args, HWND focus,
    DWORD flags, D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** out)
{
    auto lock = Lock();
    const bool bad = !pp || !out;
    const HRESULT hr = Answer(self, method, std::move(args), Invalid(bad));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    *pp = Completed(*pp, focus);
    // Devices of an IDirect3D9Ex are 9Ex devices, whichever method made them.
    auto* device = Make<Device>(Type::Device, self->kind->ex, self);
    device->present = *pp;
    device->swapChain = MakeSwapChain(device, *pp, true);
    device->targets[0] = static_cast<SwapChain*>(device->swapChain)->backBuffer;
    ++device->targets[0]->holds;
    Settings& settings = Current();
    settings.haveDevice = true;
    settings.lastPresent = *pp;
    settings.lastFlags = flags;
    Put(out, device);
    return hr;
}

HRESULT STDMETHODCALLTYPE CreateDevice(FakeObject* self, UINT adapter, D3DDEVTYPE type, HWND focus,
    DWORD flags, D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** out)
{
    return NewDevice(
        self, "CreateDevice", Args(adapter, type, focus, flags, pp, out), focus, flags, pp, out);
}

HRESULT STDMETHODCALLTYPE CreateDeviceEx(FakeObject* self, UINT adapter, D3DDEVTYPE type,
    HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp, D3DDISPLAYMODEEX* fullscreenMode,
    IDirect3DDevice9Ex** out)
{
    return NewDevice(self, "CreateDeviceEx",
        Args(adapter, type, focus, flags, pp, fullscreenMode, out), focus, flags, pp,
        reinterpret_cast<IDirect3DDevice9**>(out));
}

// ---- IDirect3DDevice9

HRESULT STDMETHODCALLTYPE GetDeviceCaps(FakeObject* self, D3DCAPS9* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetDeviceCaps", Args(out), Invalid(!out)), out, Current().caps);
}

HRESULT STDMETHODCALLTYPE GetDirect3D(FakeObject* self, IDirect3D9** out)
{
    auto lock = Lock();
    return Hand(Answer(self, "GetDirect3D", Args(out), Invalid(!out)), out, self->parent);
}

HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(
    FakeObject* self, D3DPRESENT_PARAMETERS* pp, IDirect3DSwapChain9** out)
{
    auto lock = Lock();
    const bool bad = !pp || !out;
    D3DPRESENT_PARAMETERS completed;
    if (!bad)
        completed = Completed(*pp, static_cast<Device*>(self)->present.hDeviceWindow);
    const HRESULT hr = Answer(self, "CreateAdditionalSwapChain", Args(pp, out),
        Refusal(bad, bad ? 0 : ImageBytes(completed.BackBufferWidth, completed.BackBufferHeight,
                                  completed.BackBufferFormat)));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    *pp = completed;
    Put(out, MakeSwapChain(self, *pp, false));
    return hr;
}

FakeObject* ImplicitBackBuffer(FakeObject* self)
{
    return static_cast<SwapChain*>(static_cast<Device*>(self)->swapChain)->backBuffer;
}

HRESULT STDMETHODCALLTYPE GetSwapChain(FakeObject* self, UINT index, IDirect3DSwapChain9** out)
{
    auto lock = Lock();
    FakeObject* chain = index == 0 ? static_cast<Device*>(self)->swapChain : nullptr;
    return Hand(
        Answer(self, "GetSwapChain", Args(index, out), Invalid(!out || !chain)), out, chain);
}

HRESULT STDMETHODCALLTYPE GetDeviceBackBuffer(
    FakeObject* self, UINT chainIndex, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out)
{
    auto lock = Lock();
    FakeObject* surface = chainIndex == 0 && index == 0 ? ImplicitBackBuffer(self) : nullptr;
    return Hand(Answer(self, "GetBackBuffer", Args(chainIndex, index, type, out),
                    Invalid(!out || !surface)),
        out, surface);
}

HRESULT STDMETHODCALLTYPE GetRenderTarget(FakeObject* self, UINT index, IDirect3DSurface9** out)
{
    auto lock = Lock();
    const auto& targets = static_cast<Device*>(self)->targets;
    FakeObject* target = index < targets.size() ? targets[index] : nullptr;
    const HRESULT natural = !out || index >= targets.size() ? D3DERR_INVALIDCALL
        : !target                                           ? D3DERR_NOTFOUND
                                                            : D3D_OK;
    return Hand(Answer(self, "GetRenderTarget", Args(index, out), natural), out, target);
}

HRESULT STDMETHODCALLTYPE SetRenderTarget(FakeObject* self, UINT index, IDirect3DSurface9* surface)
{
    auto lock = Lock();
    auto& targets = static_cast<Device*>(self)->targets;
    const UINT slots = std::min<UINT>(targets.size(), Current().caps.NumSimultaneousRTs);
    const bool bad = index >= slots || (!surface && index == 0)
        || (surface && !IsLive(surface, Type::Surface));
    const HRESULT hr = Answer(self, "SetRenderTarget", Args(index, surface), Invalid(bad));
    if (FAILED(hr) || bad)
        return hr;
    auto* target = reinterpret_cast<FakeObject*>(surface);
    if (target)
        ++target->holds;
    if (targets[index])
        Unhold(targets[index]);
    targets[index] = target;
    return hr;
}

// Constant registers keep what was written, so tests can read what a shader received.
HRESULT SetConstants(FakeObject* self, const char* method, std::array<float, 4 * 256>& registers,
    UINT start, const float* data, UINT count)
{
    auto lock = Lock();
    const bool bad = !data || uint64_t(start) + count > 256;
    const HRESULT hr = Answer(self, method, Args(start, data, count), Invalid(bad));
    if (SUCCEEDED(hr) && !bad)
        std::copy(data, data + 4 * count, registers.begin() + 4 * start);
    return hr;
}

HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(
    FakeObject* self, UINT start, const float* data, UINT count)
{
    return SetConstants(self, "SetVertexShaderConstantF", Current().vertexConstants, start, data, count);
}

HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(
    FakeObject* self, UINT start, const float* data, UINT count)
{
    return SetConstants(self, "SetPixelShaderConstantF", Current().pixelConstants, start, data, count);
}

HRESULT STDMETHODCALLTYPE CreateQuery(FakeObject* self, D3DQUERYTYPE type, IDirect3DQuery9** out)
{
    auto lock = Lock();
    const HRESULT hr = Answer(self, "CreateQuery", Args(type, out));
    Put(out, nullptr);
    if (SUCCEEDED(hr) && out)
        Put(out, Make<FakeObject>(Type::Query, false, self));
    return hr;
}

HRESULT STDMETHODCALLTYPE CreateTexture(FakeObject* self, UINT width, UINT height, UINT levels,
    DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out, HANDLE* shared)
{
    auto lock = Lock();
    const bool bad = !out || !width || !height;
    const HRESULT hr = Answer(self, "CreateTexture",
        Args(width, height, levels, usage, format, pool, out, shared),
        Refusal(bad, ImageBytes(width, height, format)));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    void* userBits = pool == D3DPOOL_SYSTEMMEM && shared ? *shared : nullptr;
    auto* texture = Make<Texture>(Type::Texture, false, self);
    texture->image = NewImage(width, height, format, pool, usage, userBits);
    auto* level = Make<Surface>(Type::Surface, false, texture, true);
    level->image = texture->image;
    texture->level = level;
    Put(out, texture);
    return hr;
}

// CreateRenderTarget, CreateDepthStencilSurface, CreateOffscreenPlainSurface.
HRESULT NewSurface(FakeObject* self, const char* method, std::vector<uint64_t> args, UINT width,
    UINT height, D3DFORMAT format, D3DPOOL pool, DWORD usage, IDirect3DSurface9** out)
{
    auto lock = Lock();
    const bool bad = !out || !width || !height;
    const HRESULT hr
        = Answer(self, method, std::move(args), Refusal(bad, ImageBytes(width, height, format)));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    auto* surface = Make<Surface>(Type::Surface, false, self);
    surface->image = NewImage(width, height, format, pool, usage);
    Put(out, surface);
    return hr;
}

HRESULT STDMETHODCALLTYPE CreateRenderTarget(FakeObject* self, UINT width, UINT height,
    D3DFORMAT format, D3DMULTISAMPLE_TYPE samples, DWORD quality, BOOL lockable,
    IDirect3DSurface9** out, HANDLE* shared)
{
    return NewSurface(self, "CreateRenderTarget",
        Args(width, height, format, samples, quality, lockable, out, shared), width, height, format,
        D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, out);
}

HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(FakeObject* self, UINT width, UINT height,
    D3DFORMAT format, D3DMULTISAMPLE_TYPE samples, DWORD quality, BOOL discard,
    IDirect3DSurface9** out, HANDLE* shared)
{
    return NewSurface(self, "CreateDepthStencilSurface",
        Args(width, height, format, samples, quality, discard, out, shared), width, height, format,
        D3DPOOL_DEFAULT, D3DUSAGE_DEPTHSTENCIL, out);
}

HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(FakeObject* self, UINT width, UINT height,
    D3DFORMAT format, D3DPOOL pool, IDirect3DSurface9** out, HANDLE* shared)
{
    return NewSurface(self, "CreateOffscreenPlainSurface",
        Args(width, height, format, pool, out, shared), width, height, format, pool, 0, out);
}

HRESULT NewBuffer(FakeObject* self, Type type, const char* method, UINT length, DWORD usage,
    DWORD fvf, D3DFORMAT format, D3DPOOL pool, void** out, HANDLE* shared)
{
    auto lock = Lock();
    const bool bad = !out || !length;
    const DWORD third = type == Type::VertexBuffer ? fvf : DWORD(format);
    const HRESULT hr
        = Answer(self, method, Args(length, usage, third, pool, out, shared), Refusal(bad, length));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    auto* buffer = Make<Buffer>(type, false, self);
    buffer->data.resize(length);
    buffer->usage = usage;
    buffer->fvf = fvf;
    buffer->format = format;
    buffer->pool = pool;
    Put(out, buffer);
    return hr;
}

HRESULT STDMETHODCALLTYPE CreateVertexBuffer(FakeObject* self, UINT length, DWORD usage, DWORD fvf,
    D3DPOOL pool, IDirect3DVertexBuffer9** out, HANDLE* shared)
{
    return NewBuffer(self, Type::VertexBuffer, "CreateVertexBuffer", length, usage, fvf,
        D3DFMT_VERTEXDATA, pool, reinterpret_cast<void**>(out), shared);
}

HRESULT STDMETHODCALLTYPE CreateIndexBuffer(FakeObject* self, UINT length, DWORD usage,
    D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** out, HANDLE* shared)
{
    return NewBuffer(self, Type::IndexBuffer, "CreateIndexBuffer", length, usage, 0, format, pool,
        reinterpret_cast<void**>(out), shared);
}

HRESULT NewShader(
    FakeObject* self, Type type, const char* method, const DWORD* function, void** out)
{
    auto lock = Lock();
    const bool bad = !function || !out;
    const HRESULT hr = Answer(self, method, Args(function, out), Invalid(bad));
    Put(out, nullptr);
    if (SUCCEEDED(hr) && !bad)
        Put(out, Make<FakeObject>(type, false, self));
    return hr;
}

HRESULT STDMETHODCALLTYPE CreateVertexShader(
    FakeObject* self, const DWORD* function, IDirect3DVertexShader9** out)
{
    return NewShader(
        self, Type::VertexShader, "CreateVertexShader", function, reinterpret_cast<void**>(out));
}

HRESULT STDMETHODCALLTYPE CreatePixelShader(
    FakeObject* self, const DWORD* function, IDirect3DPixelShader9** out)
{
    return NewShader(
        self, Type::PixelShader, "CreatePixelShader", function, reinterpret_cast<void**>(out));
}

HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(
    FakeObject* self, const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** out)
{
    auto lock = Lock();
    const bool bad = !elements || !out;
    const HRESULT hr = Answer(self, "CreateVertexDeclaration", Args(elements, out), Invalid(bad));
    Put(out, nullptr);
    if (FAILED(hr) || bad)
        return hr;
    auto* declaration = Make<Declaration>(Type::Declaration, false, self);
    for (int i = 0; i < MAXD3DDECLLENGTH && elements[i].Stream != 0xFF; ++i)
        declaration->elements.push_back(elements[i]);
    Current().declarations.push_back(declaration->elements);
    Put(out, declaration);
    return hr;
}

HRESULT STDMETHODCALLTYPE SetVertexDeclaration(FakeObject* self, IDirect3DVertexDeclaration9* declaration)
{
    auto lock = Lock();
    const bool bad = declaration && !IsLive(declaration, Type::Declaration);
    const HRESULT hr = Answer(self, "SetVertexDeclaration", Args(declaration), Invalid(bad));
    if (FAILED(hr) || bad)
        return hr;
    FakeObject*& bound = static_cast<Device*>(self)->declaration;
    auto* next = reinterpret_cast<FakeObject*>(declaration);
    if (next)
        ++next->holds;
    if (bound)
        Unhold(bound);
    bound = next;
    return hr;
}

HRESULT STDMETHODCALLTYPE GetVertexDeclaration(FakeObject* self, IDirect3DVertexDeclaration9** out)
{
    auto lock = Lock();
    return Hand(Answer(self, "GetVertexDeclaration", Args(out), Invalid(!out)), out,
        static_cast<Device*>(self)->declaration);
}

HRESULT STDMETHODCALLTYPE UpdateSurface(FakeObject* self, IDirect3DSurface9* src,
    const RECT* srcRect, IDirect3DSurface9* dst, const POINT* dstPoint)
{
    auto lock = Lock();
    const Image* from = ImageOf(src);
    Image* to = ImageOf(dst);
    RECT s{}, d{};
    if (from) {
        s = srcRect ? *srcRect : Whole(*from);
        const POINT at = dstPoint ? *dstPoint : POINT{0, 0};
        d = {at.x, at.y, at.x + s.right - s.left, at.y + s.bottom - s.top};
    }
    const bool ok = Blit(from, &s, to, &d, false);
    const HRESULT hr
        = Answer(self, "UpdateSurface", Args(src, srcRect, dst, dstPoint), Invalid(!ok));
    if (SUCCEEDED(hr) && ok)
        Blit(from, &s, to, &d, true);
    return hr;
}

// UpdateTexture and GetRenderTargetData: the whole of one image onto another of its size.
HRESULT CopyWhole(FakeObject* self, const char* method, const void* src, const void* dst)
{
    auto lock = Lock();
    const Image* from = ImageOf(src);
    Image* to = ImageOf(dst);
    const bool ok = SameSize(from, to) && Blit(from, nullptr, to, nullptr, false);
    const HRESULT hr = Answer(self, method, Args(src, dst), Invalid(!ok));
    if (SUCCEEDED(hr) && ok)
        Blit(from, nullptr, to, nullptr, true);
    return hr;
}

HRESULT STDMETHODCALLTYPE UpdateTexture(
    FakeObject* self, IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst)
{
    return CopyWhole(self, "UpdateTexture", src, dst);
}

HRESULT STDMETHODCALLTYPE GetRenderTargetData(
    FakeObject* self, IDirect3DSurface9* src, IDirect3DSurface9* dst)
{
    return CopyWhole(self, "GetRenderTargetData", src, dst);
}

HRESULT STDMETHODCALLTYPE StretchRect(FakeObject* self, IDirect3DSurface9* src, const RECT* srcRect,
    IDirect3DSurface9* dst, const RECT* dstRect, D3DTEXTUREFILTERTYPE filter)
{
    auto lock = Lock();
    const Image* from = ImageOf(src);
    Image* to = ImageOf(dst);
    const bool ok = Blit(from, srcRect, to, dstRect, false);
    const HRESULT hr
        = Answer(self, "StretchRect", Args(src, srcRect, dst, dstRect, filter), Invalid(!ok));
    if (SUCCEEDED(hr) && ok)
        Blit(from, srcRect, to, dstRect, true);
    return hr;
}

// ---- swap chains, textures, surfaces, buffers, any child

HRESULT STDMETHODCALLTYPE GetChainBackBuffer(
    FakeObject* self, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out)
{
    auto lock = Lock();
    FakeObject* surface = index == 0 ? static_cast<SwapChain*>(self)->backBuffer : nullptr;
    return Hand(Answer(self, "GetBackBuffer", Args(index, type, out), Invalid(!out || !surface)),
        out, surface);
}

HRESULT STDMETHODCALLTYPE GetPresentParameters(FakeObject* self, D3DPRESENT_PARAMETERS* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetPresentParameters", Args(out), Invalid(!out)), out,
        static_cast<SwapChain*>(self)->present);
}

HRESULT STDMETHODCALLTYPE GetLevelDesc(FakeObject* self, UINT level, D3DSURFACE_DESC* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetLevelDesc", Args(level, out), Invalid(level || !out)), out,
        DescOf(static_cast<Texture*>(self)->image));
}

HRESULT STDMETHODCALLTYPE GetSurfaceLevel(FakeObject* self, UINT level, IDirect3DSurface9** out)
{
    auto lock = Lock();
    FakeObject* surface = level == 0 ? static_cast<Texture*>(self)->level : nullptr;
    return Hand(
        Answer(self, "GetSurfaceLevel", Args(level, out), Invalid(!out || !surface)), out, surface);
}

HRESULT STDMETHODCALLTYPE LockTextureRect(
    FakeObject* self, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    auto lock = Lock();
    if (level != 0) {
        if (locked)
            *locked = {0, nullptr};
        return Answer(self, "LockRect", Args(level, locked, rect, flags), D3DERR_INVALIDCALL);
    }
    return LockImage(self, "LockRect", Args(level, locked, rect, flags),
        static_cast<Texture*>(self)->image, locked, rect);
}

HRESULT STDMETHODCALLTYPE GetSurfaceDesc(FakeObject* self, D3DSURFACE_DESC* out)
{
    auto lock = Lock();
    return Fill(Answer(self, "GetDesc", Args(out), Invalid(!out)), out,
        DescOf(static_cast<Surface*>(self)->image));
}

HRESULT STDMETHODCALLTYPE LockSurfaceRect(
    FakeObject* self, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    auto lock = Lock();
    return LockImage(self, "LockRect", Args(locked, rect, flags),
        static_cast<Surface*>(self)->image, locked, rect);
}

HRESULT STDMETHODCALLTYPE LockBuffer(
    FakeObject* self, UINT offset, UINT size, void** data, DWORD flags)
{
    auto lock = Lock();
    auto& bytes = static_cast<Buffer*>(self)->data;
    const size_t length = size ? size : bytes.size() - std::min<size_t>(offset, bytes.size());
    const bool bad = !data || size_t(offset) + length > bytes.size();
    const HRESULT hr = Answer(self, "Lock", Args(offset, size, data, flags), Invalid(bad));
    if (data)
        *data = SUCCEEDED(hr) && !bad ? bytes.data() + offset : nullptr;
    return hr;
}

HRESULT STDMETHODCALLTYPE GetBufferDesc(FakeObject* self, void* out)
{
    auto lock = Lock();
    const HRESULT hr = Answer(self, "GetDesc", Args(out), Invalid(!out));
    if (FAILED(hr) || !out)
        return hr;
    const auto* b = static_cast<Buffer*>(self);
    const UINT size = UINT(b->data.size());
    if (self->kind->type == Type::VertexBuffer)
        *static_cast<D3DVERTEXBUFFER_DESC*>(out)
            = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, b->usage, b->pool, size, b->fvf};
    else
        *static_cast<D3DINDEXBUFFER_DESC*>(out)
            = {b->format, D3DRTYPE_INDEXBUFFER, b->usage, b->pool, size};
    return hr;
}

HRESULT STDMETHODCALLTYPE GetDevice(FakeObject* self, IDirect3DDevice9** out)
{
    auto lock = Lock();
    FakeObject* device = DeviceOf(self);
    return Hand(Answer(self, "GetDevice", Args(out), Invalid(!out || !device)), out, device);
}

}  // namespace

std::vector<Override> HandWritten()
{
    using T = Type;
    return {
        {T::D3D, "GetAdapterIdentifier", Slot(&GetAdapterIdentifier)},
        {T::D3D, "GetAdapterDisplayMode", Slot(&GetAdapterDisplayMode)},
        {T::D3D, "CheckDepthStencilMatch", Slot(&CheckDepthStencilMatch)},
        {T::D3D, "GetDeviceCaps", Slot(&GetAdapterCaps)},
        {T::D3D, "CreateDevice", Slot(&CreateDevice)},
        {T::D3D, "CreateDeviceEx", Slot(&CreateDeviceEx)},
        {T::Device, "GetDeviceCaps", Slot(&GetDeviceCaps)},
        {T::Device, "GetDirect3D", Slot(&GetDirect3D)},
        {T::Device, "CreateAdditionalSwapChain", Slot(&CreateAdditionalSwapChain)},
        {T::Device, "GetSwapChain", Slot(&GetSwapChain)},
        {T::Device, "GetBackBuffer", Slot(&GetDeviceBackBuffer)},
        {T::Device, "GetRenderTarget", Slot(&GetRenderTarget)},
        {T::Device, "SetRenderTarget", Slot(&SetRenderTarget)},
        {T::Device, "CreateQuery", Slot(&CreateQuery)},
        {T::Device, "SetVertexShaderConstantF", Slot(&SetVertexShaderConstantF)},
        {T::Device, "SetPixelShaderConstantF", Slot(&SetPixelShaderConstantF)},
        {T::Device, "CreateTexture", Slot(&CreateTexture)},
        {T::Device, "CreateRenderTarget", Slot(&CreateRenderTarget)},
        {T::Device, "CreateDepthStencilSurface", Slot(&CreateDepthStencilSurface)},
        {T::Device, "CreateOffscreenPlainSurface", Slot(&CreateOffscreenPlainSurface)},
        {T::Device, "CreateVertexBuffer", Slot(&CreateVertexBuffer)},
        {T::Device, "CreateIndexBuffer", Slot(&CreateIndexBuffer)},
        {T::Device, "CreateVertexShader", Slot(&CreateVertexShader)},
        {T::Device, "CreatePixelShader", Slot(&CreatePixelShader)},
        {T::Device, "CreateVertexDeclaration", Slot(&CreateVertexDeclaration)},
        {T::Device, "SetVertexDeclaration", Slot(&SetVertexDeclaration)},
        {T::Device, "GetVertexDeclaration", Slot(&GetVertexDeclaration)},
        {T::Device, "UpdateSurface", Slot(&UpdateSurface)},
        {T::Device, "UpdateTexture", Slot(&UpdateTexture)},
        {T::Device, "GetRenderTargetData", Slot(&GetRenderTargetData)},
        {T::Device, "StretchRect", Slot(&StretchRect)},
        {T::SwapChain, "GetBackBuffer", Slot(&GetChainBackBuffer)},
        {T::SwapChain, "GetPresentParameters", Slot(&GetPresentParameters)},
        {T::Texture, "GetLevelDesc", Slot(&GetLevelDesc)},
        {T::Texture, "GetSurfaceLevel", Slot(&GetSurfaceLevel)},
        {T::Texture, "LockRect", Slot(&LockTextureRect)},
        {T::Surface, "GetDesc", Slot(&GetSurfaceDesc)},
        {T::Surface, "LockRect", Slot(&LockSurfaceRect)},
        {T::VertexBuffer, "Lock", Slot(&LockBuffer)},
        {T::VertexBuffer, "GetDesc", Slot(&GetBufferDesc)},
        {T::IndexBuffer, "Lock", Slot(&LockBuffer)},
        {T::IndexBuffer, "GetDesc", Slot(&GetBufferDesc)},
        {T::D3D, "GetDevice", Slot(&GetDevice), true},
    };
}

}  // namespace detail

std::vector<std::vector<D3DVERTEXELEMENT9>> Declarations()
{
    auto lock = detail::Lock();
    return detail::Current().declarations;
}

}  // namespace d3d9double

// ---- entry points

using namespace d3d9double::detail;

extern "C" __declspec(dllexport) IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion)
{
    auto lock = Lock();
    const auto hr = HRESULT(Enter(nullptr, "Direct3DCreate9", Args(sdkVersion),
        Current().create9ReturnsNull ? uint32_t(E_FAIL) : 0));
    if (FAILED(hr))
        return nullptr;
    return reinterpret_cast<IDirect3D9*>(Make<FakeObject>(Type::D3D, false, nullptr));
}

extern "C" __declspec(dllexport) HRESULT WINAPI
    Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** out)
{
    auto lock = Lock();
    const auto hr = HRESULT(Enter(nullptr, "Direct3DCreate9Ex", Args(sdkVersion, out),
        uint32_t(!out ? D3DERR_INVALIDCALL : Current().create9ExResult)));
    if (out)
        *out = nullptr;
    if (SUCCEEDED(hr) && out)
        *out = reinterpret_cast<IDirect3D9Ex*>(Make<FakeObject>(Type::D3D, true, nullptr));
    return hr;
}
