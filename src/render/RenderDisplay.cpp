// Presentation into the host's windows: each render has its own additional swap
// chain on the shared device.

#include "RenderDX9.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/ErrorReporting.h"
#include "../resources/ComReference.h"
#include "../stereo/NVidiaStereo.h"
#include "../stereo/NvApiStereo.h"

using namespace Veltra;
using namespace VeltraRender;

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

void RenderDX9::SelectEye(uint32_t eye)
{
    uint32_t nvapiEye = 0;
    if (g_stereoHandle && _useStereo) {
        switch (eye) {
        case 0:
            LogIfActive(LogTrace, L" - mono\n");
            nvapiEye = NvApi::StereoEyeMono;
            break;
        case 1:
            LogIfActive(LogTrace, L" - left eye\n");
            nvapiEye = NvApi::StereoEyeLeft;
            break;
        case 2:
            LogIfActive(LogTrace, L" - right eye\n");
            nvapiEye = NvApi::StereoEyeRight;
            break;
        default:
            return;
        }
    } else if (g_pStereo && g_pStereo->stereoActivated) {
        // Another render switched the device to stereo: a mono frame says so.
        LogIfActive(LogTrace, L" - mono\n");
        nvapiEye = NvApi::StereoEyeMono;
    } else {
        return;
    }
    const NvApi::Status status = NvApi::Stereo_SetActiveEye(g_stereoHandle, nvapiEye);
    if (status != NvApi::StatusOk)
        LogIfActive(LogTrace, L" - ERROR in NnAPI_Stereo_SetActiveEye call, status=%d", status);
}

bool RenderDX9::DisplayBuffer(boost::shared_ptr<IResourceGPU> source, uint32_t eye)
{
    skcore::COSAutoLock renderLock(s_renderLock);
    LogIfActive(LogTrace, L"RenderDX9(%X)::DisplayBuffer() - start\n", LogAddress(this));
    if (!_hDisplayWnd) {
        LogIfActive(LogTrace, L" - ignoring DisplayBuffer due to null display window or no width/height for display window\n");
        return false;
    }
    bool shown = false;
    try {
        SelectEye(eye);
        shown = CopyToBackBuffer(source);
        // The left eye of a stereo pair waits for the right one.
        if (shown && (!_useStereo || eye == 0 || eye == 2)) {
            LogIfActive(LogTrace, L" - Present\n");
            DXFailed(_pd3dSwapChain->Present(NULL, NULL, _hDisplayWnd, NULL, 0),
                     L"_pd3dSwapChain->Present(NULL, NULL, _hDisplayWnd, NULL, 0)");
        }
    } catch (...) {
        LogAlways(LogSevere, L"Exception in RenderDX9::DisplayBuffer\n");
        shown = false;
    }
    LogIfActive(LogTrace, L"RenderDX9(%X)::DisplayBuffer() - finish\n", LogAddress(this));
    return shown;
}

bool RenderDX9::CopyToBackBuffer(const boost::shared_ptr<IResourceGPU>& source)
{
    // Both surfaces are released when this returns, before the frame is presented.
    const boost::shared_ptr<IResTextureGPU> texture = boost::dynamic_pointer_cast<IResTextureGPU>(source);
    ComReference<IDirect3DSurface9> sourceSurface(texture ? texture->GetDeviceInterface() : nullptr);
    ComReference<IDirect3DSurface9> backSurface;
    if (_pd3dSwapChain)
        DXFailed(_pd3dSwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, backSurface.Receive()),
                 L"_pd3dSwapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backSurface)");
    if (!sourceSurface || !backSurface) {
        // Nothing to copy or nowhere to copy it: the frame is not shown.
        LogAlways(LogError, L"RenderDX9(%X)::DisplayBuffer() - no source surface or no swap chain: frame not shown\n",
                  LogAddress(this));
        return false;
    }
    const D3DTEXTUREFILTERTYPE filter = D3DTEXF_LINEAR;
    DXFailed(cg_pd3dDevice->StretchRect(sourceSurface.Get(), NULL, backSurface.Get(), NULL, filter),
             L"cg_pd3dDevice->StretchRect(sourceSurface, NULL, backSurface, NULL, filter)");
    return true;
}
