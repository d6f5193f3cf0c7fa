// Construction, destruction, Initialize, Shutdown and ReleaseExtraMemory of RenderDX9.

#include "RenderDX9.h"

#include "AdapterInfo.h"
#include "HiddenWindow.h"
#include "Registry.h"
#include "SharedDevice.h"

#include "../host/Log.h"
#include "../host/sklog.h"
#include "../plugin/ModuleState.h"
#include "../stereo/NVidiaStereo.h"

using namespace Veltra;
using namespace VeltraRender;

namespace {

const D3DCOLOR DebugClearColor = 0xFFFF6432;  // opaque orange

// The per-process parts that live while any render lives: stereo controller,
// window class, logging service and the adapter description.
void StartRenderGeneration()
{
    if (!g_pStereo)
        g_pStereo = new NVidiaStereo();
    if (g_pStereo) {
        g_pStereo->useCount += 1;
        g_stereoUsable = g_pStereo->stereoAvailable && g_pStereo->stereoEnabled;
    } else {
        g_stereoUsable = false;
    }
    // Loaded early so that it is resident for the rest of the process.
    LoadLibraryW(L"D3DCompiler_42.dll");
    RegisterRenderWindowClass();
    if (g_loggerStarted == 0) {
        skcore::Logger_Start();
        g_loggerStarted = 1;
    }
    IDirect3D9* direct3D = Direct3DCreate9(32);
    if (!direct3D)
        return;
    D3DADAPTER_IDENTIFIER9 identifier = {};
    direct3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
    FillRenderInfo(g_renderInfo, identifier, g_pStereo && g_pStereo->stereoAvailable,
                   g_pStereo && g_pStereo->stereoAvailable && g_pStereo->stereoEnabled);
    direct3D->Release();
}

void EndRenderGeneration()
{
    LogIfActive(LogTrace, L" - usecount is 0, doing full shutdown\n");
    // What a failed device creation left behind can no longer be joined by anyone. It
    // goes before the stereo controller (its handle) and before the window class (the
    // window's procedure).
    ReleaseFailedCreation();
    if (g_pStereo) {
        if (g_pStereo->useCount > 0)
            g_pStereo->useCount -= 1;
        if (g_pStereo->useCount == 0) {
            delete g_pStereo;
            g_pStereo = nullptr;
        }
    }
    UnregisterRenderWindowClass();
    if (g_loggerStarted != 0) {
        g_loggerStarted -= 1;
        if (g_loggerStarted == 0)
            skcore::Logger_End();
    }
}

} // namespace

RenderDX9::RenderDX9()
{
    _displayD3dpp = D3DPRESENT_PARAMETERS();
    LogIfActive(LogTrace, L"RenderDX9(%X)::RenderDX9 - start\n", LogAddress(this));
    if (g_renderUseCount == 0)
        StartRenderGeneration();
    g_renderUseCount += 1;
    LogIfActive(LogTrace, L"RenderDX9(%X)::RenderDX9 - end\n", LogAddress(this));
}

RenderDX9::~RenderDX9()
{
    LogIfActive(LogTrace, L"RenderDX9(%X)::~RenderDX9 - started\n", LogAddress(this));
    if (_initialized) {
        LogAlways(LogWarning, L"Render was not Shutdown before destruction\n");
        Shutdown();
    }
    g_renderUseCount -= 1;
    if (g_renderUseCount == 0)
        EndRenderGeneration();
    LogIfActive(LogTrace, L"RenderDX9(%X)::~RenderDX9 - end\n", LogAddress(this));
}

bool RenderDX9::Initialize(boost::weak_ptr<IRender> self, RenderSettings& settings)
{
    LogIfActive(LogTrace, L"RenderDX9(%X)::Initialize() - start\n", LogAddress(this));
    if (_initialized)
        Shutdown();

    skcore::COSAutoLock deviceLock(s_deviceLock);
    _weakSelf = self;
    _settings = settings;

    if (g_hHiddenWnd && !cg_pd3dDevice) {
        // An earlier creation failed before a device existed: start over rather than
        // join a device that is not there.
        LogAlways(LogError, L"RenderDX9(%X)::Initialize() - no shared device after a failed creation, creating it again\n",
                  LogAddress(this));
        ReleaseFailedCreation();
    }
    if (!g_hHiddenWnd && !CreateSharedDevice(_settings))
        return false;

    _createThreadId = GetCurrentThreadId();
    if (_settings.window) {
        if (!IsWindow(_settings.window))
            LogAlways(LogError, L"RenderDX9(%X)::Initialize() - window=%X is not a window: nothing will be presented\n",
                      LogAddress(this), LogAddress(_settings.window));
        _displayD3dpp = g_d3dpp;
        if (_settings.enableStereo && g_stereoUsable)
            _useStereo = true;
        CreateSwapChain();
        ChangeRenderWindow(_settings.window, 0, 0, 0, 0);
    }

    const QuadProjection projection = ComputeQuadProjection(_settings.width, _settings.height, _settings.pixelAspect);
    _modelViewProjection = projection.matrix;
    // A render that never draws the default quad may leave the size and aspect at 0.
    if (!projection.shifted)
        LogIfActive(LogTrace,
                    L"RenderDX9(%X)::Initialize() - width=%d, height=%d: the default quad covers the target without "
                    L"the half-pixel shift\n",
                    LogAddress(this), _settings.width, _settings.height);
    if (projection.aspectReplaced)
        LogIfActive(LogTrace, L"RenderDX9(%X)::Initialize() - pixelAspect=%g gives no aspect: the projection takes 1\n",
                    LogAddress(this), _settings.pixelAspect);

    settings = _settings;
    _initialized = true;
    g_clearColor =
        LogActive(LogSwitchDebugClearColor) && !LogActive(LogSwitchDebugClearColorOff) ? DebugClearColor : 0;
    CreateDefaultQuad();

    LogIfActive(LogTrace,
                L"RenderDX9(%X)::Initialize(width=%d, height=%d, pixelAspect=%g, window=%X) (threadID=%d) end\n",
                LogAddress(this), _settings.width, _settings.height, _settings.pixelAspect,
                LogAddress(_settings.window), static_cast<int>(GetCurrentThreadId()));
    return true;
}

bool RenderDX9::Shutdown()
{
    if (!_initialized)
        return true;
    skcore::COSAutoLock deviceLock(s_deviceLock);
    LogIfActive(LogTrace, L"RenderDX9(%X)::Shutdown() - start\n", LogAddress(this));
    const DWORD currentThreadId = GetCurrentThreadId();
    if (currentThreadId != _createThreadId)
        LogAlways(LogError,
                  L"RenderDX9(%X)::Shutdown() - ERROR: Shutting down on different thread than created on - may leak resources (createID=%d currentID=%d!)\n",
                  LogAddress(this), static_cast<int>(_createThreadId), static_cast<int>(currentThreadId));

    DestroyRegisteredObjects();
    _quadPositions.reset();
    _quadIndices.reset();
    _quadNormals.reset();
    if (_pd3dSwapChain) {
        _pd3dSwapChain->Release();
        _pd3dSwapChain = nullptr;
    }
    if (_stereoSignatureTexture) {
        _stereoSignatureTexture->Release();
        _stereoSignatureTexture = nullptr;
    }
    _hDisplayWnd = nullptr;

    if (g_renderUseCount == 1 && !ReleaseSharedDevice(this))
        return false;

    _initialized = false;
    LogIfActive(LogTrace, L"RenderDX9(%X)::Shutdown() - end\n", LogAddress(this));
    return true;
}

void RenderDX9::DestroyRegisteredObjects()
{
    Registry::DestroyLive(_resourcesGPU, this);
    Registry::DestroyLive(_states, this);
    Registry::DestroyLive(_resourcesCPU, this);
}

void RenderDX9::ReleaseExtraMemory()
{
    skcore::COSAutoLock deviceLock(s_deviceLock);
    LogIfActive(LogTrace, L"RenderDX9(%X)::ReleaseExtraMemory() - start\n", LogAddress(this));
    Registry::Compact(_resourcesGPU);
    Registry::Compact(_states);
    Registry::Compact(_resourcesCPU);
    LogIfActive(LogTrace, L"RenderDX9(%X)::ReleaseExtraMemory() - end\n", LogAddress(this));
}

bool RenderDX9::CheckRender()
{
    return SharedDeviceCanRender();
}
