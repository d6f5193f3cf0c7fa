// Presentation into the host's windows: each render has its own additional swap
// chain on the shared device.

#include "RenderDX9.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/ErrorReporting.h"
#include "../stereo/NVidiaStereo.h"

using namespace Veltra;

void RenderDX9::CreateSwapChain()
{
    if (_pd3dSwapChain) {
        _pd3dSwapChain->Release();
        _pd3dSwapChain = nullptr;
    }
    _displayD3dpp.hDeviceWindow = g_hHiddenWnd;
    _displayD3dpp.BackBufferWidth = static_cast<UINT>(_settings.width);
    _displayD3dpp.BackBufferHeight = static_cast<UINT>(_settings.height);
    LogIfActive(LogTrace, L" - CreateSwapChain width=%d, height=%d\n", _settings.width, _settings.height);
    if (DXFailed(cg_pd3dDevice->CreateAdditionalSwapChain(&_displayD3dpp, &_pd3dSwapChain),
                 L"cg_pd3dDevice->CreateAdditionalSwapChain(&_displayD3dpp, &_pd3dSwapChain)"))
        _pd3dSwapChain = nullptr;

    if (_useStereo && (!g_pStereo || !g_pStereo->stereoActivated)) {
        LogIfActive(LogTrace, L" - triggering stereo 3D\n");
        if (g_pStereo)
            g_pStereo->stereoActivated = true;
        NVidiaStereo::ActivateHandle();
    }
}

void RenderDX9::ChangeRenderWindow(HWND window, uint32_t, uint32_t, uint32_t, uint32_t)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    if (window == _hDisplayWnd)
        return;
    _hDisplayWnd = window;
    LogIfActive(LogTrace, L" - ChangeRenderWindow displayWnd=%X\n", LogAddress(window));
}
