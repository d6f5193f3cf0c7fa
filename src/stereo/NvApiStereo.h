#pragma once
// The NVAPI stereo functions the plug-in calls, with their argument types.

#include "NvApiLoader.h"

#include <windows.h>

namespace NvApi {

const uint32_t StereoDriverModeDirect = 2;
const uint32_t StereoNotificationMessageId = 3000;
const uint32_t StereoEyeRight = 1;
const uint32_t StereoEyeLeft = 2;
const uint32_t StereoEyeMono = 3;

inline Status Stereo_SetDriverMode(uint32_t mode) { return Call(IdStereoSetDriverMode, mode); }
inline Status DriverConfiguration(uint32_t value) { return Call(IdDriverConfiguration, value); }
inline Status Stereo_IsEnabled(uint8_t* enabled) { return Call(IdStereoIsEnabled, enabled); }
inline Status Stereo_CreateHandleFromIUnknown(IUnknown* device, void** handle)
{
    return Call(IdStereoCreateHandleFromIUnknown, device, handle);
}
inline Status Stereo_SetNotificationMessage(void* handle, uint64_t window, uint64_t messageId)
{
    return Call(IdStereoSetNotificationMessage, handle, window, messageId);
}
inline Status Stereo_Activate(void* handle) { return Call(IdStereoActivate, handle); }
inline Status Stereo_DestroyHandle(void* handle) { return Call(IdStereoDestroyHandle, handle); }
inline Status Stereo_SetActiveEye(void* handle, uint32_t eye) { return Call(IdStereoSetActiveEye, handle, eye); }

} // namespace NvApi
