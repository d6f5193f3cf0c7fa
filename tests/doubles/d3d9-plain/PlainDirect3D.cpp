// d3d9.dll for the real-stack tests of the plain device: it forwards Direct3DCreate9 to
// Wine's real Direct3D 9 and answers Direct3DCreate9Ex with D3DERR_NOTAVAILABLE, as a
// system without Direct3D 9Ex would; its devices report an adapter that addresses only
// 16-bit vertex indices. Loaded in place of Wine's d3d9 with the override d3d9=n,b.
// Wine's d3d9 comes from a copy under another name (winedirect3d9.dll, beside this
// file): loaded as "d3d9.dll" it would be what the plug-in's own LoadLibrary finds.

#include <windows.h>
#include <d3d9.h>

namespace {

typedef HRESULT(STDMETHODCALLTYPE* CreateDeviceFunction)(IDirect3D9*, UINT, D3DDEVTYPE, HWND, DWORD,
                                                          D3DPRESENT_PARAMETERS*, IDirect3DDevice9**);
typedef HRESULT(STDMETHODCALLTYPE* GetDeviceCapsFunction)(IDirect3DDevice9*, D3DCAPS9*);
CreateDeviceFunction s_createDevice = nullptr;
GetDeviceCapsFunction s_getDeviceCaps = nullptr;

// Takes over a slot of the object's vtable, which every object of its class shares.
template <typename Function>
void Replace(void* object, int slot, Function hook, Function& original)
{
    void** table = *static_cast<void***>(object);
    if (original)
        return;
    DWORD protection = 0;
    VirtualProtect(&table[slot], sizeof(void*), PAGE_READWRITE, &protection);
    original = reinterpret_cast<Function>(table[slot]);
    table[slot] = reinterpret_cast<void*>(hook);
    VirtualProtect(&table[slot], sizeof(void*), protection, &protection);
}

HRESULT STDMETHODCALLTYPE GetDeviceCapsOf16BitAdapter(IDirect3DDevice9* device, D3DCAPS9* caps)
{
    const HRESULT result = s_getDeviceCaps(device, caps);
    if (SUCCEEDED(result) && caps)
        caps->MaxVertexIndex = 0xFFFF;
    return result;
}

HRESULT STDMETHODCALLTYPE CreateDeviceOf16BitAdapter(IDirect3D9* direct3D, UINT adapter, D3DDEVTYPE type, HWND window,
                                                     DWORD flags, D3DPRESENT_PARAMETERS* parameters,
                                                     IDirect3DDevice9** device)
{
    const HRESULT result = s_createDevice(direct3D, adapter, type, window, flags, parameters, device);
    if (SUCCEEDED(result) && device && *device)
        Replace(*device, 7 /* IDirect3DDevice9::GetDeviceCaps */, &GetDeviceCapsOf16BitAdapter, s_getDeviceCaps);
    return result;
}

} // namespace

extern "C" __declspec(dllexport) IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion)
{
    // Pinned, as Wine's Direct3D stays loaded once loaded: the hooks live in its vtables.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Direct3DCreate9), &self);
    wchar_t path[MAX_PATH];
    wchar_t* name = path + GetModuleFileNameW(self, path, MAX_PATH - 32);
    while (name > path && name[-1] != L'\\')
        --name;
    lstrcpyW(name, L"winedirect3d9.dll");
    typedef IDirect3D9*(WINAPI * Create)(UINT);
    const Create create =
        reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(path), "Direct3DCreate9")));
    IDirect3D9* direct3D = create ? create(sdkVersion) : nullptr;
    if (direct3D)
        Replace(direct3D, 16 /* IDirect3D9::CreateDevice */, &CreateDeviceOf16BitAdapter, s_createDevice);
    return direct3D;
}

extern "C" __declspec(dllexport) HRESULT WINAPI Direct3DCreate9Ex(UINT, IDirect3D9Ex** direct3D)
{
    if (direct3D)
        *direct3D = nullptr;
    return D3DERR_NOTAVAILABLE;
}
