#include "scene/EffectLibrary.h"

#include "common/HostPaths.h"

#include <algorithm>

const std::vector<std::string>& BuiltinEffectNames()
{
    static const std::vector<std::string> names = {"colour-matrix", "vignette", "wipe"};
    return names;
}

std::string BuiltinEffectPath(const std::string& name)
{
    return AssetPath("effects\\" + name + ".cg");
}

bool BuiltinEffectNeedsSecond(const std::string& name)
{
    return name == "wipe";
}

std::vector<Uniform> BuiltinEffectDefaults(const std::string& name)
{
    if (name == "colour-matrix")
        return {{"colourMatrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, ""}, {"offset", {0, 0, 0, 0}, ""}};
    if (name == "vignette")
        return {{"centre", {0.5f, 0.5f}, ""}, {"radius", {0.35f}, ""}, {"softness", {0.65f}, ""}, {"strength", {0.8f}, ""}};
    if (name == "wipe")
        return {{"softness", {0.05f}, ""}};
    return {};
}

bool IsHostUniform(const std::string& name)
{
    static const char* const names[] = {"source", "second", "time", "size"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

const char* const PassVertexProgram = R"(
struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; };
Output main(float3 position : POSITION, float2 uv : TEXCOORD0)
{
    Output output;
    output.position = float4(position, 1);
    output.uv = uv;
    return output;
}
)";

const char* const CompositePixelProgram = R"(
uniform sampler2D source;
uniform float opacity;
uniform float towardsWhite;
float4 main(float2 uv : TEXCOORD0) : COLOR
{
    float4 colour = tex2D(source, uv);
    float coverage = colour.a * opacity;
    float3 premultiplied = colour.rgb * coverage;
    float3 faded = 1 - coverage * (1 - colour.rgb);
    return float4(lerp(premultiplied, faded, towardsWhite), coverage);
}
)";
