// Control interface of the Direct3D 9 double (d3d9.dll built from tests/doubles/d3d9).
//
// The double stands in for Direct3D 9 / 9Ex in the conformance tests: the plug-in loads it
// as d3d9.dll, and the test program links it too, so both talk to one instance. Every call
// through an object of the double is logged as "Interface::Method" with its integer and
// pointer arguments (32-bit arguments zero-extended, floats as their bit pattern).
// Methods inherited from a non-Ex interface carry its name ("IDirect3DDevice9::Clear"),
// Ex-only methods the Ex name ("IDirect3DDevice9Ex::PresentEx"), and IUnknown's three the
// object's own interface ("IDirect3DTexture9::Release"). The two entry points are logged
// as "Direct3DCreate9" and "Direct3DCreate9Ex".
#pragma once

#include <d3d9.h>

#include <climits>
#include <cstdint>
#include <array>
#include <string>
#include <vector>

#ifdef D3D9DOUBLE_BUILDING
#define D3D9DOUBLE_API __declspec(dllexport)
#else
#define D3D9DOUBLE_API __declspec(dllimport)
#endif

namespace d3d9double {

struct Call {
    std::string method;
    std::vector<uint64_t> args;  // the arguments after `this`
    HRESULT result;  // what the call answered (a count or value for non-HRESULT methods)
    const void* object;  // `this`, null for the two entry points
};

// Forgets calls, scripts and settings and restores the defaults; live objects stay tracked.
D3D9DOUBLE_API void Reset();

// What IDirect3D9::GetDeviceCaps and IDirect3DDevice9::GetDeviceCaps answer.
D3D9DOUBLE_API D3DCAPS9& Caps();
D3D9DOUBLE_API D3DADAPTER_IDENTIFIER9& AdapterIdentifier();
D3D9DOUBLE_API D3DDISPLAYMODE& DisplayMode();
// CheckDepthStencilMatch's answer for one depth-stencil format (others answer D3D_OK).
D3D9DOUBLE_API void SetDepthStencilMatch(D3DFORMAT depthStencilFormat, HRESULT result);
D3D9DOUBLE_API void SetCreate9ReturnsNull(bool returnsNull);
D3D9DOUBLE_API void SetCreate9ExResult(HRESULT result);  // a failure leaves the object null

// Calls of `method` are numbered from 1 since Reset; calls first .. first+count-1 answer
// `result` (the last script given wins where scripts overlap). A failure scripted for a
// method that creates objects or fills out-parameters creates nothing and nulls the out
// pointer. For methods that do not return an HRESULT, `result` is the value returned.
// AddRef and Release always answer the real count.
D3D9DOUBLE_API void SetResult(
    const std::string& method, HRESULT result, unsigned first = 1, unsigned count = UINT_MAX);
// The next `count` calls of `method`, counted from now, answer `result`.
D3D9DOUBLE_API void SetNextResults(const std::string& method, HRESULT result, unsigned count = 1);

D3D9DOUBLE_API std::vector<Call> Calls();
D3D9DOUBLE_API size_t CallCount();  // of all methods, without copying the log
D3D9DOUBLE_API std::vector<Call> CallsTo(const std::string& method);
D3D9DOUBLE_API size_t CountCalls(const std::string& method);
D3D9DOUBLE_API void ClearCalls();  // the log only: call numbers and scripts stay

// Objects of the double whose reference count is above 0, all or of one interface
// ("IDirect3DDevice9" counts 9Ex devices too; "IDirect3DDevice9Ex" only those).
D3D9DOUBLE_API int LiveObjects();
D3D9DOUBLE_API int LiveObjects(const std::string& interfaceName);
// The live objects themselves, e.g. to hold or release one the plug-in made.
D3D9DOUBLE_API std::vector<IUnknown*> LiveObjectsOf(const std::string& interfaceName);
// The current count of one object of the double; 0 when unknown or freed.
D3D9DOUBLE_API ULONG RefCount(const void* object);

// Of the last device created since Reset (after D3D filled in defaults); null if none.
D3D9DOUBLE_API const D3DPRESENT_PARAMETERS* DevicePresentParameters();
D3D9DOUBLE_API DWORD DeviceBehaviorFlags();
// Shader constant register `reg` as the last write left it (zero after Reset).
D3D9DOUBLE_API std::array<float, 4> VertexConstant(UINT reg);
D3D9DOUBLE_API std::array<float, 4> PixelConstant(UINT reg);
// The elements (up to D3DDECL_END) of every vertex declaration created since Reset,
// in order; kept after the declarations are released.
D3D9DOUBLE_API std::vector<std::vector<D3DVERTEXELEMENT9>> Declarations();

}  // namespace d3d9double
