#include "ModuleState.h"

uint32_t g_renderUseCount = 0;
NVidiaStereo* g_pStereo = nullptr;
bool g_stereoUsable = false;
uint32_t g_loggerStarted = 0;
VeltraRender::RenderInfo g_renderInfo = {};

HWND g_hHiddenWnd = nullptr;
IDirect3D9* g_pD3D = nullptr;
IDirect3D9Ex* g_pD3DEx = nullptr;
IDirect3DDevice9* cg_pd3dDevice = nullptr;
IDirect3DDevice9Ex* g_pd3dDeviceEx = nullptr;
uint8_t g_isD3D9Ex = 0;
D3DPRESENT_PARAMETERS g_d3dpp = {};
D3DCAPS9 g_deviceCaps = {};
int32_t g_shaderLevel = 0;
uint8_t g_use16BitIndices = 0;
uint32_t g_maxAnisotropy = 16;
IDirect3DQuery9* g_eventQuery = nullptr;
StereoHandle g_stereoHandle = nullptr;
D3DCOLOR g_clearColor = 0;

// Constructed at load in this order and destroyed at unload in the reverse order.
skcore::COSCriticalSection s_renderLock(0);
skcore::COSCriticalSection s_deviceLock(0);
const std::string s_modelViewProjectionName("ModelViewProjection");
