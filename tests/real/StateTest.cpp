// Pipeline states on the real device, by the pixels they decide: the compositing blend
// modes and the constant blend colour, depth, stencil, culling, fill mode, and sampler
// wrapping and filtering.

#include "RealFixture.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <type_traits>

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

// One field of one kind of state: a base record, the same record with that field changed,
// and the device state both send (a sampler state on unit 3).
struct FieldRow {
    const char* name;
    std::shared_ptr<ResourceHeader> base, changed;
    bool sampler;
    DWORD deviceState, baseValue, changedValue;
};

template <class Settings, class Change>
FieldRow Field(const char* name, const Settings& base, Change change, DWORD deviceState, DWORD baseValue,
               DWORD changedValue)
{
    const auto changed = std::make_shared<Settings>(base);
    change(*changed);
    return {name, std::make_shared<Settings>(base), changed, std::is_same<Settings, SamplerSettings>::value,
            deviceState, baseValue, changedValue};
}

} // namespace

TEST_F(RealStateTest, AStateDifferingInOneFieldSendsThatField)
{
    // Base, changed, base again: each selection follows a state that differs from it in
    // one field alone, and must leave its value on the device. What the device held is
    // overwritten before each, so that a value sent again (the sampler's border) shows too.
    const BlendSettings blend;
    const DepthSettings depth;
    RasterSettings raster;
    raster.cullFace = cfBack;
    const StencilSettings stencil;
    const SamplerSettings sampler;
    const FieldRow rows[] = {
        Field("enableBlending", blend, [](auto& s) { s.enableBlending = true; }, D3DRS_ALPHABLENDENABLE, 0, 1),
        Field("enableBlending, alpha", blend, [](auto& s) { s.enableBlending = true; }, D3DRS_SEPARATEALPHABLENDENABLE, 0, 1),
        Field("colorBlendEquation", blend, [](auto& s) { s.colorBlendEquation = beReverseSubtract; }, D3DRS_BLENDOP, 1, 3),
        Field("srcColorFactor", blend, [](auto& s) { s.srcColorFactor = bfDstColor; }, D3DRS_SRCBLEND, 2, 9),
        Field("dstColorFactor", blend, [](auto& s) { s.dstColorFactor = bfZero; }, D3DRS_DESTBLEND, 6, 1),
        Field("alphaBlendEquation", blend, [](auto& s) { s.alphaBlendEquation = beMax; }, D3DRS_BLENDOPALPHA, 1, 5),
        Field("srcAlphaFactor", blend, [](auto& s) { s.srcAlphaFactor = bfSrcAlphaSaturate; }, D3DRS_SRCBLENDALPHA, 2, 11),
        Field("dstAlphaFactor", blend, [](auto& s) { s.dstAlphaFactor = bfOneMinusDstAlpha; }, D3DRS_DESTBLENDALPHA, 6, 8),
        Field("blendColor red", blend, [](auto& s) { s.blendColor[0] = 0; }, D3DRS_BLENDFACTOR, ~0u, 0xFF00FFFF),
        Field("blendColor blue", blend, [](auto& s) { s.blendColor[1] = 0; }, D3DRS_BLENDFACTOR, ~0u, 0xFFFFFF00),
        Field("blendColor green", blend, [](auto& s) { s.blendColor[2] = 0; }, D3DRS_BLENDFACTOR, ~0u, 0xFFFF00FF),
        Field("blendColor alpha", blend, [](auto& s) { s.blendColor[3] = 0; }, D3DRS_BLENDFACTOR, ~0u, 0x00FFFFFF),
        Field("depthTest", depth, [](auto& s) { s.depthTest = true; }, D3DRS_ZENABLE, D3DZB_FALSE, D3DZB_TRUE),
        Field("depthWrite", depth, [](auto& s) { s.depthWrite = true; }, D3DRS_ZWRITEENABLE, 0, 1),
        Field("depthBias", depth, [](auto& s) { s.depthBias = 0.5; }, D3DRS_DEPTHBIAS, 0x80000000, 0xBF000000),
        Field("depthFunction", depth, [](auto& s) { s.depthFunction = dfGreaterEqual; }, D3DRS_ZFUNC, 4, 7),
        Field("fillMode", raster, [](auto& s) { s.fillMode = fmPoint; }, D3DRS_FILLMODE, 3, 1),
        Field("cullFace", raster, [](auto& s) { s.cullFace = cfFront; }, D3DRS_CULLMODE, D3DCULL_CW, D3DCULL_CCW),
        Field("frontWinding", raster, [](auto& s) { s.frontWinding = pwCW; }, D3DRS_CULLMODE, D3DCULL_CW, D3DCULL_CCW),
        Field("enableMultisampling", raster, [](auto& s) { s.enableMultisampling = true; }, D3DRS_MULTISAMPLEANTIALIAS, 0, 1),
        Field("enable", stencil, [](auto& s) { s.enable = true; }, D3DRS_STENCILENABLE, 0, 1),
        Field("stencilFunction", stencil, [](auto& s) { s.stencilFunction = sfGreater; }, D3DRS_STENCILFUNC, 3, 5),
        Field("opOnFail", stencil, [](auto& s) { s.opOnFail = soIncrementWrap; }, D3DRS_STENCILFAIL, 1, 7),
        Field("opOnDepthFail", stencil, [](auto& s) { s.opOnDepthFail = soInvert; }, D3DRS_STENCILZFAIL, 1, 6),
        Field("opOnDepthPass", stencil, [](auto& s) { s.opOnDepthPass = soDecrementSaturate; }, D3DRS_STENCILPASS, 3, 5),
        Field("referenceValue", stencil, [](auto& s) { s.referenceValue = 3; }, D3DRS_STENCILREF, 0x7FFF, 3),
        Field("valueMask", stencil, [](auto& s) { s.valueMask = 0xF0; }, D3DRS_STENCILMASK, 0xFFFF, 0xF0),
        Field("writeMask", stencil, [](auto& s) { s.writeMask = 0x0F; }, D3DRS_STENCILWRITEMASK, 0xFFFF, 0x0F),
        Field("minFiltering", sampler, [](auto& s) { s.minFiltering = tfLinear; }, D3DSAMP_MINFILTER, 1, 2),
        Field("maxFiltering", sampler, [](auto& s) { s.maxFiltering = tfAnisotropic4; }, D3DSAMP_MAGFILTER, 1, 3),
        Field("wrapHorizontal", sampler, [](auto& s) { s.wrapHorizontal = twMirroredRepeat; }, D3DSAMP_ADDRESSU, 3, 2),
        Field("wrapVertical", sampler, [](auto& s) { s.wrapVertical = twClampToBorder; }, D3DSAMP_ADDRESSV, 3, 4),
        Field("borderColor red", sampler, [](auto& s) { s.borderColor[0] = 0; }, D3DSAMP_BORDERCOLOR, 0xFFFFFF, 0xFFFFFF),
        Field("borderColor green", sampler, [](auto& s) { s.borderColor[1] = 0; }, D3DSAMP_BORDERCOLOR, 0xFFFFFF, 0xFFFFFF),
        Field("borderColor blue", sampler, [](auto& s) { s.borderColor[2] = 0; }, D3DSAMP_BORDERCOLOR, 0xFFFFFF, 0xFFFFFF),
        Field("maxAnisotropy", sampler, [](auto& s) { s.maxAnisotropy = 8; }, D3DSAMP_MAXANISOTROPY, 1, 8),
        Field("maxAnisotropy past the device's", sampler, [](auto& s) { s.maxAnisotropy = 32; }, D3DSAMP_MAXANISOTROPY, 1, 16),
    };
    const int unit = 3;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const FieldRow& row = rows[i];
        SCOPED_TRACE(row.name);
        auto held = [&] {
            DWORD value = 0;
            row.sampler ? device->GetSamplerState(unit, D3DSAMPLERSTATETYPE(row.deviceState), &value)
                        : device->GetRenderState(D3DRENDERSTATETYPE(row.deviceState), &value);
            return value;
        };
        auto overwrite = [&](DWORD value) {
            row.sampler ? device->SetSamplerState(unit, D3DSAMPLERSTATETYPE(row.deviceState), value)
                        : device->SetRenderState(D3DRENDERSTATETYPE(row.deviceState), value);
        };
        // The changed state as a host makes it: created so, or given its settings before its first selection.
        const boost::shared_ptr<IState> base = render->CreateState(*row.base);
        const boost::shared_ptr<IState> changed = render->CreateState(i % 3 ? *row.base : *row.changed);
        row.changed->render = render;
        if (i % 3 == 1)
            changed->ReplaceSettings(*row.changed);
        else if (i % 3 == 2)
            changed->SetSettings(render, *row.changed);
        render->SelectState(base, row.sampler ? unit : 0);
        EXPECT_EQ(held(), row.baseValue);
        overwrite(~row.changedValue);
        render->SelectState(changed, row.sampler ? unit : 0);
        EXPECT_EQ(held(), row.changedValue);
        overwrite(~row.baseValue);
        render->SelectState(base, row.sampler ? unit : 0);
        EXPECT_EQ(held(), row.baseValue);
    }
}

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
    // The stencil: the first quad marks it (or not), the second passes only where it is 1.
    auto stencil = [](uint32_t function, uint32_t reference, uint32_t onFail, uint32_t onDepthFail, uint32_t onPass,
                      uint32_t valueMask = 0xFFFF, uint32_t writeMask = 0xFFFF) {
        StencilSettings settings;
        settings.enable = true;
        settings.stencilFunction = function;
        settings.referenceValue = reference;
        settings.opOnFail = onFail;
        settings.opOnDepthFail = onDepthFail;
        settings.opOnDepthPass = onPass;
        settings.valueMask = valueMask;
        settings.writeMask = writeMask;
        return settings;
    };
    const StencilSettings noStencil, onlyMarked = stencil(sfEqual, 1, soKeep, soKeep, soKeep),
        otherReference = stencil(sfEqual, 2, soKeep, soKeep, soKeep),
        maskedReference = stencil(sfEqual, 3, soKeep, soKeep, soKeep, 1),
        onPass = stencil(sfAlways, 1, soKeep, soKeep, soReplace), onFail = stencil(sfNever, 1, soReplace, soKeep, soKeep),
        onDepthFail = stencil(sfAlways, 1, soKeep, soReplace, soKeep),
        throughWriteMask = stencil(sfAlways, 3, soKeep, soKeep, soReplace, 0xFFFF, 1),
        incremented = stencil(sfAlways, 5, soKeep, soKeep, soIncrementSaturate), kept = stencil(sfAlways, 1, soKeep, soKeep, soKeep);
    DepthSettings never, noDepth;
    never.depthTest = true;
    never.depthFunction = dfNever;
    using States = std::vector<const ResourceHeader*>;
    const struct {
        const char* name;
        States firstStates;   // selected for both quads
        States secondStates;  // selected for the second only
        float first[4], second[4];
        uint32_t expected;
        int clearBetween = -1;  // a Clear mask between the quads
    } cases[] = {
        {"source over", {&opaque}, {&over}, {0.5f, 0, 1, 1}, {1, 0, 0, 0.5f}, 0xBFC0007F},
        {"additive", {&opaque}, {&add}, {0.5f, 0, 1, 1}, {1, 0, 0, 1}, 0xFFFF00FF},
        {"multiply", {&opaque}, {&multiply}, {0.5f, 0, 1, 1}, {1, 0.5f, 0.5f, 1}, 0xFF800080},
        {"screen", {&opaque}, {&screen}, {0.5f, 0, 1, 1}, {0.5f, 0.5f, 0.5f, 1}, 0xFFC080FF},
        {"constant colour", {&opaque}, {&constant}, {0.5f, 0, 1, 1}, {1, 1, 1, 1}, 0xFF80FF40},
        {"depth less: an equal quad fails", {&less}, {&less}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"depth less or equal: it passes", {&lessEqual}, {&lessEqual}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"depth not written: it passes", {&lessNoWrite}, {&less}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"back faces culled: the quad stays", {&solidFaces}, {&cullBack}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"front faces culled: it goes", {&solidFaces}, {&cullFront}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"wireframe: the inside is left", {&solidFaces}, {&wireframe}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"stencil: only where marked", {&noStencil}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"stencil replaced where drawn", {&onPass}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"stencil of another reference", {&onPass}, {&otherReference}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"stencil compared through the mask", {&onPass}, {&maskedReference}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"stencil written through the mask", {&throughWriteMask}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"stencil replaced where its test fails", {&onFail}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"stencil replaced where depth fails", {&never, &onDepthFail}, {&noDepth, &onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1},
         0xFF0000FF},
        {"stencil incremented where drawn", {&incremented}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF},
        {"stencil kept where drawn", {&kept}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFFFF0000},
        {"stencil cleared between", {&onPass}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0, 0x04},
        {"only depth cleared between", {&onPass}, {&onlyMarked}, {1, 0, 0, 1}, {0, 0, 1, 1}, 0xFF0000FF, 0x02},
    };
    const boost::shared_ptr<IResShaderGPU> solid = Shader(QuadVertexShader, UniformColourPixel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Pixels pixels = Frame([&] {
            render->Clear(0x06);  // depth and stencil
            for (const ResourceHeader* state : c.firstStates)
                render->SelectState(render->CreateState(*state), 0);
            solid->SetPixelParameter("colour", Rgba(c.first[0], c.first[1], c.first[2], c.first[3]));
            Quad(solid);
            if (c.clearBetween >= 0)
                render->Clear(static_cast<uint8_t>(c.clearBetween));
            for (const ResourceHeader* state : c.secondStates)
                render->SelectState(render->CreateState(*state), 0);
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
