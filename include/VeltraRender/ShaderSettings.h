#pragma once
// Settings of a shader: a vertex and a pixel program in Cg, each with entry `main`.
// The sources may test PROFILE_2_0, PROFILE_2_X or PROFILE_3_0, one of which is
// defined for the profile the device supports.
//
// The default quad (IRender::DrawQuad) and what its vertex program receives:
// - vertex inputs: POSITION, the corners (-0.5, -0.5, 0) to (0.5, 0.5, 0), and NORMAL,
//   (0, 0, 1) at each; no texture coordinates: a program that samples computes them,
//   for the image upright, uv = float2(position.x + 0.5, 0.5 - position.y);
// - `uniform float4x4 ModelViewProjection`, uploaded by DrawQuad to the selected
//   shader's vertex program; positions go through it as row vectors,
//   clip = mul(position, ModelViewProjection), which puts each texel of a target-sized
//   texture on its own pixel. A program without that uniform receives nothing, silently.
// Example:
//   uniform float4x4 ModelViewProjection;
//   void main(float4 position : POSITION, out float4 clip : POSITION, out float2 uv : TEXCOORD0)
//   { clip = mul(position, ModelViewProjection); uv = float2(position.x + 0.5, 0.5 - position.y); }
//
// Uniform values set by name (IResShaderGPU::SetVertexParameter, SetPixelParameter) for a
// name the program does not have reach nothing: log level 2 says so once per shader
// and name. A uniform the program declares but never reads has no register and is
// skipped (said at level 3).

#include "ResourceHeader.h"

#include <string>

namespace VeltraRender {

struct ShaderSettings : ResourceHeader {
    ShaderSettings() { type = rtShaderGPU; }

    std::string vertexShaderCode;
    std::string pixelShaderCode;
};

} // namespace VeltraRender
