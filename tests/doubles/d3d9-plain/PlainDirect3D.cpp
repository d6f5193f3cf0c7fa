// d3d9.dll for the real-stack tests of the plain device path: it forwards
// Direct3DCreate9 to Wine's real Direct3D 9 and answers Direct3DCreate9Ex with
// D3DERR_NOTAVAILABLE, as a system without Direct3D 9Ex would. Its devices report the
// capabilities of an older adapter that addresses only 16-bit vertex indices. Loaded in place of
// Wine's d3d9 with the override d3d9=n,b. Wine's d3d9 is loaded from a copy under
// another name (winedirect3d9.dll, beside this file): loaded as "d3d9.dll" it would
// be what the next LoadLibrary("d3d9.dll") of the plug-in finds.

#include <windows.h>
#include <d3d9.h>

namespace {

typedef IDirect3D9*(WINAPI* Direct3DCreate9Function)(UINT sdkVersion);

HMODULE RealDirect3D()
{
    static HMODULE real = [] {
        // Pinned, as Wine's Direct3D stays loaded once loaded: the hooks below live in
        // Wine's vtables for the rest of the process.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&RealDirect3D), &self);
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        wchar_t* name = path + length;
        while (name > path && name[-1] != L'\\')
            --name;
        const wchar_t copyName[] = L"winedirect3d9.dll";
        if (length == 0 || (name - path) + sizeof copyName / sizeof copyName[0] > MAX_PATH)
            return static_cast<HMODULE>(nullptr);
        lstrcpyW(name, copyName);
        return LoadLibraryW(path);
    }();
    return real;
}

// Slots of Wine's vtables that the proxy takes over.
const int CreateDeviceSlot = 16;   // IDirect3D9::CreateDevice
const int GetDeviceCapsSlot = 7;   // IDirect3DDevice9::GetDeviceCaps

typedef HRESULT(STDMETHODCALLTYPE* CreateDeviceFunction)(IDirect3D9*, UINT, D3DDEVTYPE, HWND, DWORD,
                                                          D3DPRESENT_PARAMETERS*, IDirect3DDevice9**);
typedef HRESULT(STDMETHODCALLTYPE* GetDeviceCapsFunction)(IDirect3DDevice9*, D3DCAPS9*);
CreateDeviceFunction s_createDevice = nullptr;
GetDeviceCapsFunction s_getDeviceCaps = nullptr;

template <typename Function>
void Replace(void* object, int slot, Function hook, Function& original)
{
    void** table = *static_cast<void***>(object);
    if (original)
        return;  // every object of the class shares the table
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
        Replace(*device, GetDeviceCapsSlot, &GetDeviceCapsOf16BitAdapter, s_getDeviceCaps);
    return result;
}

} // namespace

extern "C" __declspec(dllexport) IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion)
{
    HMODULE real = RealDirect3D();
    if (!real)
        return nullptr;
    Direct3DCreate9Function create = reinterpret_cast<Direct3DCreate9Function>(
        reinterpret_cast<void*>(GetProcAddress(real, "Direct3DCreate9")));
    IDirect3D9* direct3D = create ? create(sdkVersion) : nullptr;
    if (direct3D)
        Replace(direct3D, CreateDeviceSlot, &CreateDeviceOf16BitAdapter, s_createDevice);
    return direct3D;
}

extern "C" __declspec(dllexport) HRESULT WINAPI Direct3DCreate9Ex(UINT, IDirect3D9Ex** direct3D)
{
    if (direct3D)
        *direct3D = nullptr;
    return D3DERR_NOTAVAILABLE;
}
