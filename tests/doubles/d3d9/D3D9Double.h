// Control interface of the Direct3D 9 double (d3d9.dll built from tests/doubles/d3d9).
//
// The double stands in for Direct3D 9 / 9Ex in the conformance tier: the plug-in loads it
// as d3d9.dll (Wine override d3d9=n) and the test program links it too, so both talk to
// one instance. It implements what the plug-in calls: device creation (9Ex and plain),
// capabilities, swap chains, textures, surfaces, buffers, shaders and their constants,
// declarations, render targets and queries. Copies between surfaces copy nothing. Every
// call of a method it knows is logged as "Interface::Method" with the place it was called
// from; a method it does not know answers E_NOTIMPL and is logged as "Interface::slot N".
// The memory a lock hands out ends at an inaccessible page: writing past it faults.
#pragma once

#include <d3d9.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#ifdef D3D9DOUBLE_BUILDING
#define D3D9DOUBLE_API __declspec(dllexport)
#else
#define D3D9DOUBLE_API __declspec(dllimport)
#endif

namespace d3d9double {

// A call: "IDirect3DDevice9::CreateTexture" (the entry points as "Direct3DCreate9"), its answer, and
// the caller's return address, which is one place in the caller's code.
struct Call { std::string method; HRESULT result; uintptr_t site; };

// What the methods answer from and what they leave; Reset restores pixel shader 3.0,
// 32-bit indices, anisotropy 16 and a 1280 x 1024 desktop.
struct Settings {
    D3DCAPS9 caps{};
    D3DADAPTER_IDENTIFIER9 identifier{};
    D3DDISPLAYMODE mode{};
    std::vector<std::pair<D3DFORMAT, HRESULT>> depthStencil;  // CheckDepthStencilMatch's answers, else D3D_OK
    D3DPRESENT_PARAMETERS present{};  // and of the last device made, its present parameters and flags
    DWORD flags = 0;
    float vertexConstants[256][4] = {};
    float pixelConstants[256][4] = {};
};

// Forgets calls and scripts, and restores the settings; live objects stay tracked.
D3D9DOUBLE_API void Reset();
D3D9DOUBLE_API Settings& Current();

// The next `count` calls of `method` after the next `skip` answer `result` (the latest
// script wins). A failing creator creates nothing and nulls its out-pointer; a failing
// Direct3DCreate9 answers null.
D3D9DOUBLE_API void Fail(const std::string& method, HRESULT result, unsigned count = UINT_MAX, unsigned skip = 0);
D3D9DOUBLE_API std::vector<Call> Calls();  // since Reset or ClearCalls, the first 100000
D3D9DOUBLE_API void ClearCalls();

// Objects with references, of one interface or all ("IDirect3DDevice9" counts 9Ex devices
// too, "IDirect3DDevice9Ex" only those).
D3D9DOUBLE_API std::vector<IUnknown*> LiveObjects(const std::string& interfaceName = "");

}  // namespace d3d9double
