#include "NVidiaStereo.h"

#include "NvApiStereo.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"

using Veltra::LogIfActive;
using Veltra::LogStereo;

NVidiaStereo::NVidiaStereo()
{
    LogIfActive(LogStereo, L"NVidiaStereo::NVidiaStereo() - start\n");
    try {
        NvApi::Status status = NvApi::Start();
        bool directMode = false;
        if (status != NvApi::StatusOk) {
            LogIfActive(LogStereo, L"NVidiaStereo::NVidiaStereo() - NvAPI_Initialize ERROR, status=%d\n", status);
        } else {
            nvapiInitialized = true;
            status = NvApi::Stereo_SetDriverMode(NvApi::StereoDriverModeDirect);
            if (status != NvApi::StatusOk)
                LogIfActive(LogStereo, L"NVidiaStereo::NVidiaStereo() - NvAPI_Stereo_SetDriverMode ERROR, status=%d\n",
                            status);
            else
                directMode = true;
        }
        NvApi::DriverConfiguration(0);  // its status does not matter
        if (directMode) {
            uint8_t enabled = 0;
            if (NvApi::Stereo_IsEnabled(&enabled) == NvApi::StatusOk) {
                stereoAvailable = true;
                stereoEnabled = enabled != 0;
            }
        }
        LogIfActive(LogStereo, L"NVidiaStereo::NVidiaStereo() - end (stereoAvailable=%d, stereoEnabled=%d)\n",
                    stereoAvailable ? 1 : 0, stereoEnabled ? 1 : 0);
    } catch (...) {
        LogIfActive(LogStereo, L"NVidiaStereo::NVidiaStereo() - EXCEPTION!!!\n");
    }
}

NVidiaStereo::~NVidiaStereo()
{
    LogIfActive(LogStereo, L"NVidiaStereo::~NVidiaStereo() - start\n");
    try {
        if (nvapiInitialized)
            NvApi::Stop();
        LogIfActive(LogStereo, L"NVidiaStereo::~NVidiaStereo() - end\n");
    } catch (...) {
        LogIfActive(LogStereo, L"NVidiaStereo::~NVidiaStereo() - EXCEPTION!!!\n");
    }
}

bool NVidiaStereo::CreateHandle()
{
    if (!g_pStereo || !g_pStereo->stereoAvailable)
        return false;
    LogIfActive(LogStereo, L"NVidiaStereo::CreateHandle() - start\n");
    // On the plain creation path there is no 9Ex device and NVAPI refuses the call.
    if (NvApi::Stereo_CreateHandleFromIUnknown(g_pd3dDeviceEx, &g_stereoHandle) != NvApi::StatusOk) {
        g_stereoHandle = nullptr;
        return false;
    }
    NvApi::Status status = NvApi::Stereo_SetNotificationMessage(
        g_stereoHandle, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(g_hHiddenWnd)),
        NvApi::StereoNotificationMessageId);
    if (status == NvApi::StatusOk) {
        LogIfActive(LogStereo, L"NVidiaStereo::CreateHandle() - end\n");
        return true;
    }
    LogIfActive(LogStereo, L"NVidiaStereo::CreateHandle() - ERROR, status=%d\n", status);
    NvApi::Stereo_DestroyHandle(g_stereoHandle);
    g_stereoHandle = nullptr;
    return false;
}

void NVidiaStereo::ActivateHandle()
{
    if (!g_pStereo || !g_pStereo->stereoAvailable)
        return;
    LogIfActive(LogStereo, L"NVidiaStereo::ActivateHandle() - start\n");
    NvApi::Status status = NvApi::Stereo_Activate(g_stereoHandle);
    if (status != NvApi::StatusOk)
        LogIfActive(LogStereo, L"NVidiaStereo::ActivateHandle() - ERROR, status=%d\n", status);
    else
        LogIfActive(LogStereo, L"NVidiaStereo::ActivateHandle() - end\n");
}

void NVidiaStereo::DestroyHandle()
{
    if (!g_pStereo || !g_pStereo->stereoAvailable)
        return;
    LogIfActive(LogStereo, L"NVidiaStereo::DestroyHandle() - start\n");
    NvApi::Stereo_DestroyHandle(g_stereoHandle);
    LogIfActive(LogStereo, L"NVidiaStereo::DestroyHandle() - end\n");
}
