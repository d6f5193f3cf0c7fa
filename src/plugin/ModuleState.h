#pragma once
// What every RenderDX9 of the process shares: the shared Direct3D device and its
// companions, the stereo controller, the render information and the two module
// locks. Created by the first Initialize (device) or the first render (the rest),
// released by the last Shutdown or the last render.

#include <VeltraRender/RenderInfo.h>

#include "../host/skcore.h"

#include <d3d9.h>
#include <cstdint>
#include <string>

class NVidiaStereo;
typedef void* StereoHandle;

extern uint32_t g_renderUseCount;          // RenderDX9 objects constructed and not yet destroyed
extern NVidiaStereo* g_pStereo;             // owned; lives while any render lives
extern bool g_stereoUsable;                 // stereo available and enabled in the driver
extern uint32_t g_loggerStarted;            // 1 while this module holds a Logger_Start
extern VeltraRender::RenderInfo g_renderInfo;

extern HWND g_hHiddenWnd;                   // owner of the shared device; null: no shared device
extern IDirect3D9* g_pD3D;                  // same pointer as g_pD3DEx when that is set
extern IDirect3D9Ex* g_pD3DEx;
extern IDirect3DDevice9* cg_pd3dDevice;     // the shared device
extern IDirect3DDevice9Ex* g_pd3dDeviceEx;  // same pointer as cg_pd3dDevice when the device is 9Ex
extern uint8_t g_isD3D9Ex;                  // set once a 9Ex device was made; never cleared
extern D3DPRESENT_PARAMETERS g_d3dpp;
extern D3DCAPS9 g_deviceCaps;
extern int32_t g_shaderLevel;               // 0, 1 or 2
extern uint8_t g_use16BitIndices;           // set when the device addresses at most 65536 vertices
extern uint32_t g_maxAnisotropy;
extern IDirect3DQuery9* g_eventQuery;
extern StereoHandle g_stereoHandle;
extern D3DCOLOR g_clearColor;

// Both re-entrant; always taken in the order s_deviceLock, then s_renderLock.
extern skcore::COSCriticalSection s_renderLock;  // binding, drawing, clearing, display
extern skcore::COSCriticalSection s_deviceLock;  // lifecycle, creation, registry
// Name of the matrix uniform that DrawQuad sets.
extern const std::string s_modelViewProjectionName;
