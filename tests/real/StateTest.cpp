// Pipeline states on the real device, by the pixels they decide: the compositing blend
// modes and the constant blend colour, depth, stencil, culling, fill mode, and sampler
// wrapping and filtering.

#include "RealFixture.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

using RealStateTest = RealFixture;

namespace {

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

BlendSettings Blending(uint32_t source, uint32_t destination)
{
    BlendSettings blend;
    blend.enableBlending = true;
    blend.srcColorFactor = blend.srcAlphaFactor = source;
    blend.dstColorFactor = blend.dstAlphaFactor = destination;
    return blend;
}

} // namespace

TEST_F(RealStateTest, StatesDecideWhatTheSecondQuadLeaves)
{
    // Two default quads over the whole target: the first in `first`'s colour under the
    // host's states, the second in `second`'s under the row's states.
    const BlendSettings opaque, over = Blending(bfSrcAlpha, bfOneMinusSrcAlpha), add = Blending(bfOne, bfOne),
                        multiply = Blending(bfDstColor, bfZero), screen = Blending(bfOne, bfOneMinusSrcColor);
    BlendSettings constant = Blending(bfConstantColor, bfZero);
    const double packed[4] = {0.5, 0.25, 1.0, 1.0};  // red, blue, green, alpha
    std::copy(packed, packed + 4, constant.blendColor);
    DepthSettings less, lessEqual, lessNoWrite;
    less.depthTest = lessEqual.depthTest = lessNoWrite.depthTest = true;
    less.depthWrite = lessEqual.depthWrite = true;
    less.depthFunction = lessNoWrite.depthFunction = dfLess;
    RasterSettings solidFaces, cullBack, cullFront, wireframe;
    cullBack.cullFace = cfBack;  // front faces wind counter-clockwise, as the default quad does
    cullFront.cullFace = cfFront;
    wireframe.fillMode = fmWireframe;
    StencilSettings noStencil, onlyMarked;  // the first quad marks nothing: nothing passes
    onlyMarked.enable = true;
    onlyMarked.referenceValue = 1;
    const struct {
        const char* name;
        const ResourceHeader* firstState;   // selected for both quads
        const ResourceHeader* secondState;  // selected for the second only
        float first[4], second[4];
        uint32_t expected;
    } cases[] = {
        {"source over", &opaque, &over, {0.5f, 0, 1, 1}, {1, 0, 0, 0.5f}, 0xBFC0007F},
        {"additive", &opaque, &add, {0.5f, 0, 1, 1}, {1, 0, 0, 1}, 0xFFFF00FF},
        {"multiply", &opaque, &multiply, {0.5f, 0, 1, 1}, {1, 0.5f, 0.5f, 1}, 0xFF800080},
        {"screen", &opaque, &screen, {0.5f, 0, 1, 1}, {0.5f, 0.5f, 0.5f, 1}, 0xFFC080FF},
        {"constant colour", &opaque, &constant, {0.5f, 0, 1, 1}, {1, 1, 1, 1}, 0xFF80FF40},
        {"depth less: an equal quad fails", &less, &less, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"depth less or equal: it passes", &lessEqual, &lessEqual, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"depth not written: it passes", &lessNoWrite, &less, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"back faces culled: the quad stays", &solidFaces, &cullBack, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"front faces culled: it goes", &solidFaces, &cullFront, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"wireframe: the inside is left", &solidFaces, &wireframe, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"stencil: only where marked", &noStencil, &onlyMarked, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
    };
    const boost::shared_ptr<IResShaderGPU> solid = Shader(QuadVertexShader, UniformColourPixel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Pixels pixels = Frame([&] {
            render->Clear(0x06);  // depth and stencil
            render->SelectState(render->CreateState(*c.firstState), 0);
            solid->SetPixelParameter("colour", Rgba(c.first[0], c.first[1], c.first[2], c.first[3]));
            Quad(solid);
            render->SelectState(render->CreateState(*c.secondState), 0);
            solid->SetPixelParameter("colour", Rgba(c.second[0], c.second[1], c.second[2], c.second[3]));
            Quad(solid);
            for (const ResourceHeader* state : std::initializer_list<const ResourceHeader*>{&opaque, &noStencil})
                render->SelectState(render->CreateState(*state), 0);
            SelectHostStates();
        });
        const uint32_t inside = pixels[24 * Width + 12];  // far from both of the quad's diagonals
        EXPECT_TRUE(Near(inside, c.expected, 2)) << std::hex << inside << " not " << c.expected;
    }
}

TEST_F(RealStateTest, SamplersWrapAndFilter)
{
    // A 2 x 2 texture, black left and white right, seen over u from -1.5 to 2.5 across the target.
    const boost::shared_ptr<IResTextureGPU> image = Texture({0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}, 2, 2);
    const boost::shared_ptr<IResShaderGPU> stretched = Shader(
        "uniform float4x4 ModelViewProjection;\n"
        "void main(float4 p : POSITION, out float4 clip : POSITION, out float2 uv : TEXCOORD0)\n"
        "{ clip = mul(p, ModelViewProjection); uv = float2(p.x + 0.5, 0.5 - p.y) * 4 - 1.5; }",
        SamplingPixel);
    auto greyAt = [](const Pixels& pixels, double u) {
        return static_cast<int>(pixels[(Height / 2) * Width + static_cast<int>((u + 1.5) / 4 * Width)] & 0xFF);
    };
    const struct {
        const char* name;
        uint32_t wrap, filter;
        int atMinus075, atMinus025, atHalf;
    } cases[] = {
        {"clamp", twClamp, tfPoint, 0, 0, 255},
        {"repeat", twRepeat, tfPoint, 0, 255, 255},
        {"mirror", twMirroredRepeat, tfPoint, 255, 0, 255},
        {"linear between the texel centres", twClamp, tfLinear, 0, 0, 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SamplerSettings sampler;
        sampler.wrapHorizontal = sampler.wrapVertical = c.wrap;
        sampler.minFiltering = sampler.maxFiltering = c.filter;
        render->SelectState(render->CreateState(sampler), 0);
        const Pixels pixels = Frame([&] { Quad(stretched, image); });
        const int tolerance = c.filter == tfLinear ? 20 : 0;
        EXPECT_NEAR(greyAt(pixels, -0.75), c.atMinus075, tolerance);
        EXPECT_NEAR(greyAt(pixels, -0.25), c.atMinus025, tolerance);
        EXPECT_NEAR(greyAt(pixels, 0.5), c.atHalf, tolerance);
    }
}
