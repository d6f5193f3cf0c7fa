// A Direct3D 9 whose device does nothing: every method answers D3D_OK at once, and
// only what a caller needs to go on is hand-written here: the adapter description and
// capabilities, the device, and objects with memory to lock (buffers, textures,
// surfaces). Loaded in place of d3d9.dll, it leaves the caller's own CPU work alone
// on the clock.
#include "NullObject.h"

namespace nulld3d9 {
namespace {

const D3DFORMAT DisplayFormat = D3DFMT_X8R8G8B8;

UINT BytesPerTexel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 1;
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_L16:
        return 2;
    default:
        return 4;
    }
}

D3DCAPS9 Capabilities()
{
    D3DCAPS9 caps = {};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.VertexShaderVersion = 0xFFFE0300;
    caps.PixelShaderVersion = 0xFFFF0300;  // shader level 2 in the plug-in
    caps.PS20Caps.Caps = 0x1F;
    caps.MaxVertexIndex = 0xFFFFFF;        // 32-bit indices
    caps.MaxPrimitiveCount = 0xFFFFFF;
    caps.MaxAnisotropy = 16;
    caps.MaxStreams = 16;
    caps.MaxTextureWidth = caps.MaxTextureHeight = 8192;
    caps.NumSimultaneousRTs = 1;
    caps.MaxVertexShaderConst = 256;
    return caps;
}

struct Vtables {
    IDirect3D9ExVtbl direct3D;  // for IDirect3D9 too: its slots are the first ones
    IDirect3DDevice9ExVtbl device;
    IDirect3DVertexBuffer9Vtbl vertexBuffer;
    IDirect3DIndexBuffer9Vtbl indexBuffer;
    IDirect3DTexture9Vtbl texture;
    IDirect3DSurface9Vtbl surface;
    IDirect3DSwapChain9ExVtbl swapChain;
    IDirect3DQuery9Vtbl query;  // also serves declarations and shaders, whose tables are shorter
};
const Vtables& Tables();

template <class Interface> HRESULT Hand(NullObject* object, Interface** out)
{
    *out = As<Interface>(object);
    return object ? D3D_OK : E_OUTOFMEMORY;
}

// An object with `bytes` of its own memory, or over the caller's memory when given.
NullObject* WithMemory(const void* vtbl, NullObject* owner, size_t bytes, BYTE* callerMemory = nullptr)
{
    NullObject* object = NewObject(vtbl, owner);
    if (object && callerMemory)
        object->memory = callerMemory;
    else if (object)
        Allocate(object, bytes);
    return object;
}

// ---- IDirect3D9Ex

UINT STDMETHODCALLTYPE GetAdapterCount(NullObject*)
{
    return 1;
}

HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(NullObject*, UINT, DWORD, D3DADAPTER_IDENTIFIER9* identifier)
{
    if (!identifier)
        return D3DERR_INVALIDCALL;
    *identifier = D3DADAPTER_IDENTIFIER9();
    std::strcpy(identifier->Driver, "d3d9.dll");
    std::strcpy(identifier->Description, "Null Direct3D device (draws nothing)");
    std::strcpy(identifier->DeviceName, "\\\\.\\DISPLAY1");
    identifier->DriverVersion.HighPart = 0x00010000;  // 1.0.0.0
    identifier->VendorId = 0x10DE;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(NullObject*, UINT, D3DDISPLAYMODE* mode)
{
    if (!mode)
        return D3DERR_INVALIDCALL;
    *mode = {1280, 1024, 60, DisplayFormat};
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE GetAdapterCaps(NullObject*, UINT, D3DDEVTYPE, D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = Capabilities();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE CreateDevice(NullObject* self, UINT, D3DDEVTYPE, HWND, DWORD,
                                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** out)
{
    if (!parameters || !out)
        return D3DERR_INVALIDCALL;
    return Hand(NewObject(&Tables().device, self), out);
}

HRESULT STDMETHODCALLTYPE CreateDeviceEx(NullObject* self, UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                         D3DPRESENT_PARAMETERS* parameters, D3DDISPLAYMODEEX*,
                                         IDirect3DDevice9Ex** out)
{
    return CreateDevice(self, adapter, type, window, flags, parameters, reinterpret_cast<IDirect3DDevice9**>(out));
}

// ---- IDirect3DDevice9Ex

HRESULT STDMETHODCALLTYPE GetDirect3D(NullObject* self, IDirect3D9** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    AddRef(self->owner);
    return Hand(self->owner, out);
}

HRESULT STDMETHODCALLTYPE GetDeviceCaps(NullObject*, D3DCAPS9* caps)
{
    return GetAdapterCaps(nullptr, 0, D3DDEVTYPE_HAL, caps);
}

// Queries, declarations and shaders: objects that only live and die.
HRESULT MakeBare(NullObject* self, void** out)
{
    if (!out)  // CreateQuery(type, NULL) asks whether the type is supported
        return D3D_OK;
    return Hand(NewObject(&Tables().query, self), out);
}

HRESULT STDMETHODCALLTYPE CreateQuery(NullObject* self, D3DQUERYTYPE, IDirect3DQuery9** out)
{
    return MakeBare(self, reinterpret_cast<void**>(out));
}

HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(NullObject* self, const D3DVERTEXELEMENT9* elements,
                                                  IDirect3DVertexDeclaration9** out)
{
    return elements && out ? MakeBare(self, reinterpret_cast<void**>(out)) : D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE CreateShader(NullObject* self, const DWORD* tokens, void** out)
{
    return tokens && out ? MakeBare(self, out) : D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(NullObject* self, D3DPRESENT_PARAMETERS* parameters,
                                                    IDirect3DSwapChain9** out)
{
    if (!parameters || !out)
        return D3DERR_INVALIDCALL;
    return Hand(NewObject(&Tables().swapChain, self), out);
}

HRESULT STDMETHODCALLTYPE CreateVertexBuffer(NullObject* self, UINT length, DWORD, DWORD, D3DPOOL,
                                             IDirect3DVertexBuffer9** out, HANDLE*)
{
    if (!out || !length)
        return D3DERR_INVALIDCALL;
    return Hand(WithMemory(&Tables().vertexBuffer, self, length), out);
}

HRESULT STDMETHODCALLTYPE CreateIndexBuffer(NullObject* self, UINT length, DWORD, D3DFORMAT, D3DPOOL,
                                            IDirect3DIndexBuffer9** out, HANDLE*)
{
    if (!out || !length)
        return D3DERR_INVALIDCALL;
    return Hand(WithMemory(&Tables().indexBuffer, self, length), out);
}

HRESULT STDMETHODCALLTYPE CreateTexture(NullObject* self, UINT width, UINT height, UINT, DWORD, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DTexture9** out, HANDLE* shared)
{
    if (!out || !width || !height)
        return D3DERR_INVALIDCALL;
    const UINT pitch = width * BytesPerTexel(format);
    // 9Ex builds a system-memory texture on the caller's pixels when it passes them.
    BYTE* callerMemory = pool == D3DPOOL_SYSTEMMEM && shared ? static_cast<BYTE*>(*shared) : nullptr;
    NullObject* texture = WithMemory(&Tables().texture, self, size_t(pitch) * height, callerMemory);
    if (texture) {
        texture->width = width;
        texture->height = height;
        texture->pitch = pitch;
        texture->format = format;
    }
    return Hand(texture, out);
}

// ---- buffers, textures, surfaces

HRESULT STDMETHODCALLTYPE LockBuffer(NullObject* self, UINT offset, UINT, void** data, DWORD)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = self->memory + offset;
    return D3D_OK;
}

HRESULT LockImage(NullObject* image, D3DLOCKED_RECT* locked)
{
    if (!locked)
        return D3DERR_INVALIDCALL;
    locked->Pitch = static_cast<INT>(image->pitch);
    locked->pBits = image->memory;
    return D3D_OK;
}

D3DSURFACE_DESC DescriptionOf(const NullObject* image)
{
    D3DSURFACE_DESC description = {};
    description.Format = image->format;
    description.Type = D3DRTYPE_SURFACE;
    description.Pool = D3DPOOL_DEFAULT;
    description.Width = image->width;
    description.Height = image->height;
    return description;
}

HRESULT STDMETHODCALLTYPE GetSurfaceLevel(NullObject* self, UINT level, IDirect3DSurface9** out)
{
    if (!out || level != 0)
        return D3DERR_INVALIDCALL;
    NullObject* surface = NewObject(&Tables().surface, self);  // over the texture's memory
    if (surface) {
        surface->memory = self->memory;
        surface->width = self->width;
        surface->height = self->height;
        surface->pitch = self->pitch;
        surface->format = self->format;
    }
    return Hand(surface, out);
}

DWORD STDMETHODCALLTYPE GetLevelCount(NullObject*)
{
    return 1;
}

HRESULT STDMETHODCALLTYPE GetLevelDesc(NullObject* self, UINT, D3DSURFACE_DESC* description)
{
    if (!description)
        return D3DERR_INVALIDCALL;
    *description = DescriptionOf(self);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE LockTexture(NullObject* self, UINT, D3DLOCKED_RECT* locked, const RECT*, DWORD)
{
    return LockImage(self, locked);
}

HRESULT STDMETHODCALLTYPE LockSurface(NullObject* self, D3DLOCKED_RECT* locked, const RECT*, DWORD)
{
    return LockImage(self, locked);
}

HRESULT STDMETHODCALLTYPE GetSurfaceDesc(NullObject* self, D3DSURFACE_DESC* description)
{
    return GetLevelDesc(self, 0, description);
}

Vtables Build()
{
    Vtables t;
    FillWithNothing(t.direct3D);
    Place(t.direct3D.GetAdapterCount, &GetAdapterCount);
    Place(t.direct3D.GetAdapterIdentifier, &GetAdapterIdentifier);
    Place(t.direct3D.GetAdapterDisplayMode, &GetAdapterDisplayMode);
    Place(t.direct3D.GetDeviceCaps, &GetAdapterCaps);
    Place(t.direct3D.CreateDevice, &CreateDevice);
    Place(t.direct3D.CreateDeviceEx, &CreateDeviceEx);

    FillWithNothing(t.device);
    Place(t.device.GetDirect3D, &GetDirect3D);
    Place(t.device.GetDeviceCaps, &GetDeviceCaps);
    Place(t.device.CreateQuery, &CreateQuery);
    Place(t.device.CreateVertexDeclaration, &CreateVertexDeclaration);
    Place(t.device.CreateVertexShader, &CreateShader);
    Place(t.device.CreatePixelShader, &CreateShader);
    Place(t.device.CreateAdditionalSwapChain, &CreateAdditionalSwapChain);
    Place(t.device.CreateVertexBuffer, &CreateVertexBuffer);
    Place(t.device.CreateIndexBuffer, &CreateIndexBuffer);
    Place(t.device.CreateTexture, &CreateTexture);

    FillWithNothing(t.vertexBuffer);
    Place(t.vertexBuffer.Lock, &LockBuffer);
    FillWithNothing(t.indexBuffer);
    Place(t.indexBuffer.Lock, &LockBuffer);

    FillWithNothing(t.texture);
    Place(t.texture.GetSurfaceLevel, &GetSurfaceLevel);
    Place(t.texture.GetLevelCount, &GetLevelCount);
    Place(t.texture.GetLevelDesc, &GetLevelDesc);
    Place(t.texture.LockRect, &LockTexture);
    FillWithNothing(t.surface);
    Place(t.surface.LockRect, &LockSurface);
    Place(t.surface.GetDesc, &GetSurfaceDesc);

    FillWithNothing(t.swapChain);
    FillWithNothing(t.query);
    return t;
}

const Vtables& Tables()
{
    static const Vtables tables = Build();
    return tables;
}

} // namespace
} // namespace nulld3d9

using namespace nulld3d9;

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT)
{
    return As<IDirect3D9>(NewObject(&Tables().direct3D));
}

extern "C" HRESULT WINAPI Direct3DCreate9Ex(UINT, IDirect3D9Ex** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    return Hand(NewObject(&Tables().direct3D), out);
}
