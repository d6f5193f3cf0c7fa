#pragma once
// How the states' enumerations and values map onto Direct3D render and sampler
// states. Every mapping sends a value outside its enumeration as its default.

#include <d3d9.h>
#include <cstdint>

DWORD GetDX9BlendFactor(uint32_t factor);
DWORD GetDX9BlendEquation(uint32_t equation);
DWORD GetDX9DepthFunction(uint32_t function);
DWORD GetDX9FillMode(uint32_t fillMode);
DWORD GetDX9Winding(uint32_t winding);
DWORD GetDX9StencilFunction(uint32_t function);
DWORD GetDX9StencilOperation(uint32_t operation);
DWORD GetDX9TextureFiltering(uint32_t filtering);
DWORD GetDX9TextureWrapping(uint32_t wrapping);

// The 32 bits of a single-precision float, unchanged, as a render-state value.
DWORD F2DW(float value);

// A double narrowed to float; values beyond float's range become infinities.
float NarrowToFloat(double value);

// D3DRS_BLENDFACTOR from the four blend colour components: each times 255, truncated,
// red from [0], blue from [1], green from [2], alpha from [3], not clamped.
DWORD PackBlendColor(const double (&blendColor)[4]);
