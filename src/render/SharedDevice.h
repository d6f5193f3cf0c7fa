#pragma once
// Creation and release of the Direct3D 9 device that every render of the process
// shares, with its hidden window and the values read from its capabilities.
// Callers hold s_deviceLock.

#include <VeltraRender/RenderSettings.h>

// Creates the hidden window and the device (9Ex where available, plain otherwise)
// and reads its capabilities. False when no device could be made or the device is
// below pixel shader 2.0; what was made so far then stays (see ReleaseSharedDevice).
bool CreateSharedDevice(const VeltraRender::RenderSettings& settings);

// Picks the automatic depth/stencil format of g_d3dpp: D24S8 unless the adapter
// refuses it, then the first standard format it accepts, else no depth buffer.
void ChooseDepthStencilFormat();

// Maps TestCooperativeLevel of the shared device onto "can render".
bool SharedDeviceCanRender();

// Releases the vertex declarations, the event query, the stereo handle, the device,
// the Direct3D object and the hidden window. Refuses (false) while something outside still references the
// device; `render` is the caller, for the log lines.
bool ReleaseSharedDevice(const void* render);

// Releases whatever a failed creation left behind (stereo handle, device, Direct3D
// object, window); nothing when the shared device passed its checks.
void ReleaseFailedCreation();

// Releases the device, the Direct3D object and the hidden window, as they are.
void ReleaseDirect3DAndWindow();
