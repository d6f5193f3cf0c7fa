// The shipped effects (Cg pixel programs in assets/effects/) with the uniform values
// they start from, and the host's own programs: the vertex program of every pass and
// the program that puts a layer onto the frame.
//
// An effect's pixel program gets, besides its own uniforms:
//   float2 uv : TEXCOORD0       0 to 1 across the layer, (0, 0) at the top left
//   uniform sampler2D source    the layer's source
//   uniform sampler2D second    the effect's second source, when the scene gives one
//   uniform float time          0 to 1 over the frames
//   uniform float2 size         the layer's size in output pixels
// and returns straight (not premultiplied) RGBA; the host applies opacity and blending.
#pragma once

#include "scene/Scene.h"

#include <string>
#include <vector>

// "colour-matrix", "vignette", "wipe".
const std::vector<std::string>& BuiltinEffectNames();
std::string BuiltinEffectPath(const std::string& name);
// Whether the effect cannot work without a second source.
bool BuiltinEffectNeedsSecond(const std::string& name);
// Starting values of a built-in effect's uniforms; the scene's override them.
std::vector<Uniform> BuiltinEffectDefaults(const std::string& name);

// Uniforms the host sets itself, which a scene cannot.
bool IsHostUniform(const std::string& name);

// Clip-space positions (POSITION, float3) and texture coordinates (TEXCOORD0) through.
extern const char* const PassVertexProgram;
// Samples `source` and writes it premultiplied by its alpha and `opacity`, or, for a
// multiply blend (`towardsWhite` 1), faded towards white by the same amount.
extern const char* const CompositePixelProgram;
