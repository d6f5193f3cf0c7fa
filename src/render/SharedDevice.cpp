#include "SharedDevice.h"

#include "DeviceStates.h"
#include "HiddenWindow.h"
#include "VertexDeclarations.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/ErrorReporting.h"
#include "../stereo/NVidiaStereo.h"

using namespace Veltra;

namespace {

typedef HRESULT(WINAPI* Direct3DCreate9ExFunction)(UINT sdkVersion, IDirect3D9Ex** direct3D);

const UINT SdkVersion = 32;
const DWORD DeviceBehaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
const DWORD SoftwareDeviceBehaviour =
    D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
const DWORD PixelShader20 = 0xFFFF0200;
const DWORD PS20AllCaps = 0x1F;  // swizzle, gradients, predication, no dependent-read and no instruction limits

// True once a creation has passed every check, until the device is released.
bool s_creationComplete = false;

void FillPresentParameters(const VeltraRender::RenderSettings& settings)
{
    g_d3dpp = D3DPRESENT_PARAMETERS();
    g_d3dpp.BackBufferWidth = 4096;
    g_d3dpp.BackBufferHeight = 3072;
    g_d3dpp.BackBufferFormat = D3DFMT_X8R8G8B8;
    g_d3dpp.BackBufferCount = 1;
    g_d3dpp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    g_d3dpp.hDeviceWindow = g_hHiddenWnd;
    g_d3dpp.Windowed = TRUE;
    g_d3dpp.EnableAutoDepthStencil = settings.enableDepthBuffer ? TRUE : FALSE;
    g_d3dpp.AutoDepthStencilFormat = D3DFMT_D24S8;
    const bool vsync = LogActive(LogSwitchPresentIntervalOne) && !LogActive(LogSwitchPresentIntervalOff);
    g_d3dpp.PresentationInterval = vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
}

// The 9Ex path. Leaves cg_pd3dDevice null when the system has no 9Ex or it refuses.
void CreateExtendedDevice(HMODULE d3d9)
{
    Direct3DCreate9ExFunction create = reinterpret_cast<Direct3DCreate9ExFunction>(
        reinterpret_cast<void*>(GetProcAddress(d3d9, "Direct3DCreate9Ex")));
    if (!create || FAILED(create(SdkVersion, &g_pD3DEx)) || !g_pD3DEx) {
        g_pD3DEx = nullptr;
        return;
    }
    g_pD3D = g_pD3DEx;
    ChooseDepthStencilFormat();
    if (FAILED(g_pD3DEx->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, DeviceBehaviour, &g_d3dpp,
                                        nullptr, &g_pd3dDeviceEx)) ||
        !g_pd3dDeviceEx) {
        g_pd3dDeviceEx = nullptr;
        g_pD3DEx->Release();
        g_pD3DEx = nullptr;
        g_pD3D = nullptr;
        return;
    }
    g_isD3D9Ex = 1;
    cg_pd3dDevice = g_pd3dDeviceEx;
    g_pd3dDeviceEx->SetGPUThreadPriority(7);  // not every driver implements it
}

// The plain path: hardware vertex processing, then software.
bool CreatePlainDevice()
{
    g_pD3D = Direct3DCreate9(SdkVersion);
    if (!g_pD3D)
        return false;
    ChooseDepthStencilFormat();
    for (DWORD behaviour : {DeviceBehaviour, SoftwareDeviceBehaviour}) {
        if (SUCCEEDED(g_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, behaviour, &g_d3dpp,
                                           &cg_pd3dDevice)) &&
            cg_pd3dDevice)
            return true;
        cg_pd3dDevice = nullptr;
    }
    LogAlways(LogError, L"Failed to create D3D Device!\n");
    return false;
}

int32_t ShaderLevelFromCaps(const D3DCAPS9& caps)
{
    if (caps.PixelShaderVersion == PixelShader20)
        return (caps.PS20Caps.Caps & PS20AllCaps) == PS20AllCaps ? 1 : 0;
    return 2;
}

// The objects made on the device after it: its vertex declarations, its event query
// and its stereo handle.
void ReleaseDeviceCompanions()
{
    VertexDeclarations::ReleaseAll();
    if (g_eventQuery) {
        g_eventQuery->Release();
        g_eventQuery = nullptr;
    }
    if (g_stereoHandle) {
        NVidiaStereo::DestroyHandle();
        g_stereoHandle = nullptr;
    }
}

} // namespace

void ChooseDepthStencilFormat()
{
    D3DDISPLAYMODE mode;
    if (FAILED(g_pD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        return;
    const HRESULT d24s8 = g_pD3D->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format,
                                                         D3DFMT_X8R8G8B8, D3DFMT_D24S8);
    if (d24s8 != D3DERR_NOTAVAILABLE)
        return;
    LogAlways(LogWarning, L"Device does not support D24S8 depth/stencil format, trying other formats\n");

    struct Fallback {
        D3DFORMAT format;
        const wchar_t* message;
    };
    const Fallback fallbacks[] = {
        {D3DFMT_D24X4S4, L"Using D24X4S4 depth/stencil format\n"},
        {D3DFMT_D15S1, L"Using D15S1 depth/stencil format\n"},
        {D3DFMT_D32, L"Using D32 depth/stencil format (no stencil buffer available)\n"},
        {D3DFMT_D16, L"Using D16 depth/stencil format (no stencil buffer available)\n"},
    };
    for (const Fallback& fallback : fallbacks) {
        if (g_pD3D->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, D3DFMT_X8R8G8B8,
                                           fallback.format) == S_OK) {
            g_d3dpp.AutoDepthStencilFormat = fallback.format;
            LogAlways(LogWarning, fallback.message);
            return;
        }
    }
    g_d3dpp.EnableAutoDepthStencil = FALSE;
    LogAlways(LogError, L"Device does not support any standard depth buffer formats!\n");
}

bool CreateSharedDevice(const VeltraRender::RenderSettings& settings)
{
    LogIfActive(LogTrace, L"- Creating shared device\n");
    s_creationComplete = false;
    g_renderInfo.stereoReady = g_pStereo && g_pStereo->stereoAvailable && g_pStereo->stereoEnabled;

    DeviceStates::Forget();
    g_hHiddenWnd = CreateHiddenWindow();
    FillPresentParameters(settings);

    HMODULE d3d9 = LoadLibraryW(L"d3d9.dll");
    if (d3d9)
        CreateExtendedDevice(d3d9);
    if (!cg_pd3dDevice && !CreatePlainDevice()) {
        if (d3d9)
            FreeLibrary(d3d9);
        return false;
    }
    NVidiaStereo::CreateHandle();
    if (d3d9)
        FreeLibrary(d3d9);
    DestroyEarlierHiddenWindows(g_hHiddenWnd);

    DXFailed(cg_pd3dDevice->GetDeviceCaps(&g_deviceCaps), L"cg_pd3dDevice->GetDeviceCaps(&g_deviceCaps)");
    if (g_deviceCaps.PixelShaderVersion < PixelShader20) {
        LogAlways(LogWarning, L"Failed: GPU does not support vs_2_0 or better!\n");
        return false;
    }
    if (g_deviceCaps.MaxVertexIndex <= 0x10000)
        g_use16BitIndices = 1;
    g_maxAnisotropy = g_deviceCaps.MaxAnisotropy;
    g_shaderLevel = ShaderLevelFromCaps(g_deviceCaps);

    if (cg_pd3dDevice->CreateQuery(D3DQUERYTYPE_EVENT, nullptr) == S_OK)
        DXFailed(cg_pd3dDevice->CreateQuery(D3DQUERYTYPE_EVENT, &g_eventQuery),
                 L"cg_pd3dDevice->CreateQuery(D3DQUERYTYPE_EVENT, &g_eventQuery)");
    DXFailed(cg_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE),
             L"cg_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE)");
    LogIfActive(LogTrace, L"- Finished Creating shared device\n");
    s_creationComplete = true;
    return true;
}

bool SharedDeviceCanRender()
{
    if (!cg_pd3dDevice)
        return false;
    const HRESULT result = cg_pd3dDevice->TestCooperativeLevel();
    const wchar_t* message = nullptr;
    unsigned int level = LogWarning;
    switch (result) {
    case D3DERR_DEVICELOST:
        message = L"RenderDX9::CheckRender() - device is currently lost!\n";
        break;
    case D3DERR_DEVICENOTRESET:
        message = L"RenderDX9::CheckRender() - device is in not-reset state!\n";
        break;
    case D3DERR_DRIVERINTERNALERROR:
        message = L"RenderDX9::CheckRender() - internal driver error!\n";
        level = LogSevere;
        break;
    default:
        // Success, or a failure that does not stop rendering.
        return true;
    }
    LogAlways(level, message);
    LogIfActive(LogTrace, message);
    return false;
}

void ReleaseDirect3DAndWindow()
{
    s_creationComplete = false;
    if (g_pd3dDeviceEx) {
        g_pd3dDeviceEx->Release();
    } else if (cg_pd3dDevice) {
        cg_pd3dDevice->Release();
    }
    g_pd3dDeviceEx = nullptr;
    cg_pd3dDevice = nullptr;
    if (g_pD3DEx) {
        g_pD3DEx->Release();
        g_pD3DEx = nullptr;
        g_pD3D = nullptr;
    } else if (g_pD3D) {
        g_pD3D->Release();
        g_pD3D = nullptr;
    }
    if (g_hHiddenWnd) {
        DestroyHiddenWindow(g_hHiddenWnd);
        g_hHiddenWnd = nullptr;
    }
}

void ReleaseFailedCreation()
{
    if (!g_hHiddenWnd || s_creationComplete)
        return;
    ReleaseDeviceCompanions();
    ReleaseDirect3DAndWindow();
}

bool ReleaseSharedDevice(const void* render)
{
    LogIfActive(LogTrace, L" - shutting down shared device\n");
    ReleaseDeviceCompanions();
    IDirect3DDevice9* device = g_pd3dDeviceEx ? g_pd3dDeviceEx : cg_pd3dDevice;
    if (device) {
        // AddRef then Release answers the count the device had before the probe.
        device->AddRef();
        const ULONG count = device->Release();
        if (count > 1) {
            LogAlways(LogWarning,
                      L"RenderDX9(%X)::Shutdown() - ERROR: Device not released, Use Count still %d - returning false\n",
                      LogAddress(render), static_cast<int>(count));
            return false;
        }
        if (device->Release() != 0)
            LogAlways(LogError, L"RenderDX9(%X)::Shutdown() - ERROR: Device not released, Use Count still %d (WPF buffer held)!\n",
                      LogAddress(render), static_cast<int>(count));
        g_pd3dDeviceEx = nullptr;
        cg_pd3dDevice = nullptr;
    }
    ReleaseDirect3DAndWindow();
    LogIfActive(LogTrace, L" - finished shutting down shared device\n");
    return true;
}
