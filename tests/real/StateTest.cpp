// Pipeline states on the real stack, by pixels: the blend modes of compositing, the
// constant blend colour, depth, stencil, fill mode, culling, and sampler wrapping
// and filtering.

#include "RealFixture.h"

#include <cstdlib>

namespace {

const char* const SolidPixelShader = "uniform float4 colour; float4 main() : COLOR { return colour; }";

// |a - b| of every channel of two A8R8G8B8 pixels is at most `tolerance`.
bool Near(uint32_t a, uint32_t b, int tolerance = 2)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

class RealStateTest : public RealFixture {
protected:
    void SetUp() override
    {
        RealFixture::SetUp();
        target = CreateGpuTexture(*render, Size, Size);
        solid = Shader(QuadVertexShader, SolidPixelShader);
    }

    void Select(const ResourceHeader& settings, int32_t unit = 0) { render->SelectState(render->CreateState(settings), unit); }

    // Targets the texture, clears colour (and `clearMask`), selects the solid shader.
    void Begin(uint8_t clearMask = 0)
    {
        render->TargetResource(target, 0);
        render->Clear(clearMask);
        render->SelectResource(solid, 0);
    }

    // The default quad in one colour.
    void Quad(float red, float green, float blue, float alpha = 1.0f)
    {
        const float colour[4] = {red, green, blue, alpha};
        solid->SetPixelParameter("colour", ShaderValue::Floats(colour, 4));
        render->DrawQuad();
    }

    uint32_t End(int x = Size / 2, int y = Size / 2)
    {
        render->DeSelectResource(solid, 0);
        render->DeSelectResource(target, 0);
        return ReadBack(target, Size, Size)[y * Size + x];
    }

    static BlendSettings Blending(uint32_t source, uint32_t destination)
    {
        BlendSettings blend;
        blend.enableBlending = true;
        blend.srcColorFactor = blend.srcAlphaFactor = source;
        blend.dstColorFactor = blend.dstAlphaFactor = destination;
        return blend;
    }

    static const int Size = 32;
    boost::shared_ptr<IResTextureGPU> target;
    boost::shared_ptr<IResShaderGPU> solid;
};

} // namespace

TEST_F(RealStateTest, CompositingBlendModes)
{
    struct Mode {
        const char* name;
        BlendSettings blend;
        float source[4];
        uint32_t expected;
    };
    BlendSettings constant = Blending(bfConstantColor, bfZero);
    const double constantColour[4] = {0.5, 0.25, 1.0, 1.0};  // red, blue, green, alpha
    std::copy(constantColour, constantColour + 4, constant.blendColor);
    const Mode modes[] = {
        {"source over", Blending(bfSrcAlpha, bfOneMinusSrcAlpha), {1, 0, 0, 0.5f}, 0xBFC0007F},
        {"additive", Blending(bfOne, bfOne), {1, 0, 0, 1}, 0xFFFF00FF},
        {"multiply", Blending(bfDstColor, bfZero), {1, 0.5f, 0.5f, 1}, 0xFF800080},
        {"screen", Blending(bfOne, bfOneMinusSrcColor), {0.5f, 0.5f, 0.5f, 1}, 0xFFC080FF},
        {"constant colour", constant, {1, 1, 1, 1}, 0xFF80FF40},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        Begin();
        Select(BlendSettings());
        Quad(0.5f, 0.0f, 1.0f);  // the destination: half red, full blue
        Select(mode.blend);
        Quad(mode.source[0], mode.source[1], mode.source[2], mode.source[3]);
        Select(BlendSettings());
        const uint32_t pixel = End();
        EXPECT_TRUE(Near(pixel, mode.expected)) << std::hex << pixel << " not " << mode.expected;
    }
}

TEST_F(RealStateTest, AnotherRendersStatesDoNotHideAReselection)
{
    // Both renders send their states to the one shared device. After the second render
    // turns blending on, the first render selecting its own blending-off state again
    // must turn it off, although that state is the one it selected last.
    boost::shared_ptr<IRender> other = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings(Size, Size);
    ASSERT_TRUE(InitializeRender(other, settings));
    boost::shared_ptr<IState> opaque = render->CreateState(BlendSettings());
    Begin();
    render->SelectState(opaque, 0);
    Quad(0, 0, 1);
    other->SelectState(other->CreateState(Blending(bfZero, bfOne)), 0);  // keeps the target
    render->SelectState(opaque, 0);
    Quad(1, 0, 0);
    EXPECT_EQ(End(), 0xFFFF0000u);
    EXPECT_TRUE(other->Shutdown());
}

TEST_F(RealStateTest, DepthDecidesWhichQuadWins)
{
    struct Case {
        const char* name;
        uint32_t function;
        bool firstWrites;
        uint32_t expected;
    };
    const Case cases[] = {
        {"less: the equal second quad fails", dfLess, true, 0xFFFF0000},
        {"less or equal: it passes", dfLessEqual, true, 0xFF0000FF},
        {"the first did not write depth", dfLess, false, 0xFF0000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Begin(0x02);
        DepthSettings depth;
        depth.depthTest = true;
        depth.depthWrite = c.firstWrites;
        depth.depthFunction = c.function;
        Select(depth);
        Quad(1, 0, 0);
        depth.depthWrite = true;
        Select(depth);
        Quad(0, 0, 1);
        Select(DepthSettings());
        EXPECT_EQ(End(), c.expected);
    }
}

TEST_F(RealStateTest, StencilMaskRestrictsADraw)
{
    // Mark the left half in the stencil buffer with a mesh, then draw only where marked.
    const float positions[] = {-1, -1, 0.5f, 0, -1, 0.5f, 0, 1, 0.5f, -1, 1, 0.5f};
    const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    boost::shared_ptr<IResBufferGPU> leftHalf = CreateBuffer(*render, bkPositions, 3, 4, positions);
    boost::shared_ptr<IResBufferGPU> triangles = CreateBuffer(*render, bkIndices, 0, 6, indices);
    boost::shared_ptr<IResShaderGPU> clipSpace =
        Shader("float4 main(float4 p : POSITION) : POSITION { return float4(p.xyz, 1); }", "float4 main() : COLOR { return float4(0, 1, 0, 1); }");

    render->TargetResource(target, 0);
    render->Clear(0x04);
    StencilSettings mark;
    mark.enable = true;
    mark.stencilFunction = sfAlways;
    mark.opOnDepthPass = soReplace;
    mark.referenceValue = 1;
    Select(mark);
    render->SelectResource(clipSpace, 0);
    render->SelectResource(leftHalf, 0);
    render->SelectResource(triangles, 0);
    render->Draw();
    render->DeSelectResource(leftHalf, 0);
    render->DeSelectResource(clipSpace, 0);

    StencilSettings onlyMarked = mark;
    onlyMarked.stencilFunction = sfEqual;
    onlyMarked.opOnDepthPass = soKeep;
    Select(onlyMarked);
    render->SelectResource(solid, 0);
    Quad(1, 0, 0);
    Select(StencilSettings());
    EXPECT_EQ(End(8, 16), 0xFFFF0000u) << "marked: drawn";
    EXPECT_EQ(ReadBack(target, Size, Size)[16 * Size + 24], 0u) << "unmarked: left alone";
}

TEST_F(RealStateTest, FillModeAndCullingByWinding)
{
    struct Case {
        const char* name;
        RasterSettings raster;
        uint32_t inside, corner;  // a pixel off the quad's diagonal, and the corner pixel
    };
    RasterSettings wireframe, cullBack, cullFront;
    wireframe.fillMode = fmWireframe;
    cullBack.cullFace = cfBack;  // front faces are counter-clockwise, like the default quad
    cullFront.cullFace = cfFront;
    const Case cases[] = {
        {"solid", RasterSettings(), 0xFFFF0000, 0xFFFF0000},
        {"wireframe: the edges only", wireframe, 0, 0xFFFF0000},
        {"back faces culled: the quad stays", cullBack, 0xFFFF0000, 0xFFFF0000},
        {"front faces culled: it goes", cullFront, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Begin();
        Select(c.raster);
        Quad(1, 0, 0);
        Select(RasterSettings());
        EXPECT_EQ(End(8, 8), c.inside);
        EXPECT_EQ(ReadBack(target, Size, Size)[0], c.corner);
    }
}

TEST_F(RealStateTest, SamplerWrappingAndFiltering)
{
    // A 2 x 2 texture, black in the left column, white in the right, seen over the
    // texture coordinates -1.5 to 2.5 across the target.
    const uint32_t texels[4] = {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF};
    boost::shared_ptr<IResTextureGPU> image = CreateGpuTexture(*render, 2, 2, pfColor0, 8);
    render->SetResourceData(texels, image);
    const char* const stretchedVertex = R"(
uniform float4x4 ModelViewProjection;
struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; };
Output main(float4 position : POSITION)
{
    Output output;
    output.position = mul(position, ModelViewProjection);
    output.uv = float2(position.x + 0.5, 0.5 - position.y) * 4 - 1.5;
    return output;
}
)";
    boost::shared_ptr<IResShaderGPU> stretched = Shader(stretchedVertex, SamplingPixelShader);
    const int width = 64;
    boost::shared_ptr<IResTextureGPU> wide = CreateGpuTexture(*render, width, 8);
    // Pixel x samples u = 4 (x + 0.25) / 64 - 1.5.
    auto pixelAt = [&](double u) { return static_cast<int>((u + 1.5) / 4 * width); };

    struct Case {
        const char* name;
        uint32_t wrap, filter;
        uint8_t atMinus075, atMinus025, atHalf;  // grey level seen at u = -0.75, -0.25, 0.5
    };
    const Case cases[] = {
        {"clamp", twClamp, tfPoint, 0, 0, 255},
        {"repeat", twRepeat, tfPoint, 0, 255, 255},
        {"mirror", twMirroredRepeat, tfPoint, 255, 0, 255},
        {"linear between the texel centres", twClamp, tfLinear, 0, 0, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SamplerSettings sampler;
        sampler.wrapHorizontal = sampler.wrapVertical = c.wrap;
        sampler.minFiltering = sampler.maxFiltering = c.filter;
        Select(sampler, 0);
        render->TargetResource(wide, 0);
        render->Clear(0);
        render->SelectResource(stretched, 0);
        render->SelectResource(image, 0);
        render->DrawQuad();
        render->DeSelectResource(image, 0);
        render->DeSelectResource(stretched, 0);
        render->DeSelectResource(wide, 0);
        const std::vector<uint32_t> row = ReadBack(wide, width, 8);
        const uint32_t grey[3] = {row[4 * width + pixelAt(-0.75)], row[4 * width + pixelAt(-0.25)], row[4 * width + pixelAt(0.5)]};
        const uint8_t expected[3] = {c.atMinus075, c.atMinus025, c.atHalf};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(static_cast<int>(grey[i] & 0xFF), expected[i], c.filter == tfLinear ? 20 : 0) << i;
    }
}
