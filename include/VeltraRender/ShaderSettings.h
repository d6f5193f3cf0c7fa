#pragma once
// Settings of a shader: a vertex and a pixel program in Cg, each with entry `main`.
// The sources may test PROFILE_2_0, PROFILE_2_X or PROFILE_3_0, one of which is
// defined for the profile the device supports.

#include "ResourceHeader.h"

#include <string>

namespace VeltraRender {

struct ShaderSettings : ResourceHeader {
    ShaderSettings() { type = rtShaderGPU; }

    std::string vertexShaderCode;
    std::string pixelShaderCode;
};

} // namespace VeltraRender
