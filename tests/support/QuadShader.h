#pragma once
// The vertex program that real-stack tests draw the default quad with.

// The default quad transformed by the render's projection; texture coordinates that
// put texel (x, y) of a target-sized texture on pixel (x, y).
const char* const QuadVertexShader = R"(
uniform float4x4 ModelViewProjection;
struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; };
Output main(float4 position : POSITION)
{
    Output output;
    output.position = mul(position, ModelViewProjection);
    output.uv = float2(position.x + 0.5, 0.5 - position.y);
    return output;
}
)";
