#pragma once
// Everything a host needs to drive the VeltraRenderDirectX plug-in.
//
// What a first frame depends on:
// - States. The shared device starts in Direct3D 9's defaults until states are
//   selected, and Direct3D culls counter-clockwise triangles by default, which hides
//   the default quad. Select a raster state (RasterSettings(): no culling) and a depth
//   state (DepthSettings(): no depth test) before the first draw. A DrawQuad without any
//   raster state selected says so once, at log level 2.
// - Shaders. CreateResourceGPU(ShaderSettings) answers an IResourceGPU; the shader's own
//   operations are reached with boost::dynamic_pointer_cast<IResShaderGPU>(resource). A
//   program that does not compile is replaced by the error programs, which draw nothing
//   (their vertex program puts every vertex at the origin); the log (level 2) then holds
//   "Cg Error", the compiler's listing and "Shader compiler error, using 'error' shader".
// - The default quad (DrawQuad) and its projection: see ShaderSettings.h.
// - Log records go to the host's logger, module 293: level 1 a failed Direct3D call,
//   level 2 Cg and a host's likely mistakes (a uniform the program does not have, the
//   culled quad above), levels 3 to 5 traces.

#include "BufferSettings.h"
#include "IRender.h"
#include "IResource.h"
#include "RenderInfo.h"
#include "RenderList.h"
#include "RenderSettings.h"
#include "ResourceHeader.h"
#include "ShaderSettings.h"
#include "ShaderValue.h"
#include "StateSettings.h"
#include "TextureSettings.h"
#include "VeltraException.h"
