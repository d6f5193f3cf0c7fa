#pragma once
// What the reference host's own Direct3D work (the bench's plain baselines, the soak's
// platform phases) and its machine report share: functions found at run time, and the
// device every plain path makes, as the plug-in makes its own.

#include <windows.h>

#include <d3d9.h>
#include <d3dx9shader.h>

typedef HRESULT(WINAPI* Create9ExFunction)(UINT, IDirect3D9Ex**);
typedef decltype(&D3DXAssembleShader) AssembleFunction;

// A function of a loaded module, or null when the module or the function is missing.
template <class Function> Function Resolve(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

const DWORD PlainDeviceBehaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;

// A windowed device of one discarded back buffer, presented at once.
inline D3DPRESENT_PARAMETERS WindowedPresentParameters(HWND window, UINT width, UINT height, D3DFORMAT format)
{
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = format;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return parameters;
}
