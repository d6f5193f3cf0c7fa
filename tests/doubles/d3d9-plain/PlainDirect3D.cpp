// d3d9.dll for the real-stack tests of the plain device path: it forwards
// Direct3DCreate9 to Wine's real Direct3D 9 and answers Direct3DCreate9Ex with
// D3DERR_NOTAVAILABLE, as a system without Direct3D 9Ex would. Loaded in place of
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
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
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

} // namespace

extern "C" __declspec(dllexport) IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion)
{
    HMODULE real = RealDirect3D();
    if (!real)
        return nullptr;
    Direct3DCreate9Function create = reinterpret_cast<Direct3DCreate9Function>(
        reinterpret_cast<void*>(GetProcAddress(real, "Direct3DCreate9")));
    return create ? create(sdkVersion) : nullptr;
}

extern "C" __declspec(dllexport) HRESULT WINAPI Direct3DCreate9Ex(UINT, IDirect3D9Ex** direct3D)
{
    if (direct3D)
        *direct3D = nullptr;
    return D3DERR_NOTAVAILABLE;
}
