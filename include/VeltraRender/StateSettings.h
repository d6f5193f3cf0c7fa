#pragma once
// Settings of the pipeline states (blend, depth, raster, stencil, texture sampler) and
// their enumerations. A value outside an enumeration is sent as its mapping's default.

#include "ResourceHeader.h"

#include <cstdint>

namespace VeltraRender {

enum BlendFactor : uint32_t {
    bfZero = 0,
    bfOne = 1,
    bfSrcColor = 2,
    bfOneMinusSrcColor = 3,
    bfDstColor = 4,
    bfOneMinusDstColor = 5,
    bfSrcAlpha = 6,
    bfOneMinusSrcAlpha = 7,
    bfDstAlpha = 8,
    bfOneMinusDstAlpha = 9,
    bfConstantColor = 10,
    bfOneMinusConstantColor = 11,
    bfConstantAlpha = 12,
    bfOneMinusConstantAlpha = 13,
    bfSrcAlphaSaturate = 14,
};

enum BlendEquation : uint32_t { beAdd = 0, beSubtract = 1, beReverseSubtract = 2, beMin = 3, beMax = 4 };

enum DepthFunction : uint32_t {
    dfNever = 0,
    dfLess = 1,
    dfEqual = 2,
    dfLessEqual = 3,
    dfGreater = 4,
    dfGreaterEqual = 5,
    dfNotEqual = 6,
    dfAlways = 7,
};

enum CullFace : uint32_t { cfNone = 0, cfFront = 1, cfBack = 2 };
enum FillMode : uint32_t { fmPoint = 0, fmWireframe = 1, fmSolid = 2 };
enum Winding : uint32_t { pwCW = 0, pwCCW = 1 };

// An order of its own, unlike DepthFunction.
enum StencilFunction : uint32_t {
    sfAlways = 0,
    sfNever = 1,
    sfLess = 2,
    sfLessEqual = 3,
    sfEqual = 4,
    sfGreaterEqual = 5,
    sfGreater = 6,
    sfNotEqual = 7,
};

enum StencilOperation : uint32_t {
    soKeep = 0,
    soZero = 1,
    soReplace = 2,
    soIncrementWrap = 3,
    soDecrementWrap = 4,
    soInvert = 5,
    soIncrementSaturate = 6,
    soDecrementSaturate = 7,
};

// Values 2 to 5 all filter anisotropically.
enum TextureFiltering : uint32_t {
    tfPoint = 0,
    tfLinear = 1,
    tfAnisotropic2 = 2,
    tfAnisotropic3 = 3,
    tfAnisotropic4 = 4,
    tfAnisotropic5 = 5,
};

enum TextureWrapping : uint32_t {
    twClamp = 0,
    twClampToBorder = 1,
    twClampToEdge = 2,
    twRepeat = 3,
    twMirroredRepeat = 4,
};

struct BlendSettings : ResourceHeader {
    BlendSettings() { type = rtStateBlend; }

    bool enableBlending = false;
    uint32_t colorBlendEquation = beAdd;
    uint32_t srcColorFactor = bfOne;
    uint32_t dstColorFactor = bfOneMinusSrcAlpha;
    uint32_t alphaBlendEquation = beAdd;
    uint32_t srcAlphaFactor = bfOne;
    uint32_t dstAlphaFactor = bfOneMinusSrcAlpha;
    // Packed into D3DRS_BLENDFACTOR: [0] red, [1] blue, [2] green, [3] alpha.
    double blendColor[4] = {1.0, 1.0, 1.0, 1.0};
};

struct DepthSettings : ResourceHeader {
    DepthSettings() { type = rtStateDepth; }

    bool depthTest = false;
    bool depthWrite = false;
    double depthBias = 0.0;      // sent negated
    uint32_t depthFunction = dfLessEqual;
    double depthExtra1 = 0.0;    // compared, never sent
    double depthExtra2 = 1.0;
};

struct RasterSettings : ResourceHeader {
    RasterSettings() { type = rtStateRaster; }

    uint32_t cullFace = cfNone;
    uint32_t fillMode = fmSolid;
    uint32_t frontWinding = pwCCW;
    bool enableMultisampling = false;
};

struct StencilSettings : ResourceHeader {
    StencilSettings() { type = rtStateStencil; }

    bool enable = false;
    uint32_t stencilFunction = sfEqual;
    uint32_t opOnFail = soKeep;
    uint32_t opOnDepthFail = soKeep;
    uint32_t opOnDepthPass = soReplace;
    uint32_t referenceValue = 0x7FFF;
    uint32_t valueMask = 0xFFFF;
    uint32_t writeMask = 0xFFFF;
};

struct SamplerSettings : ResourceHeader {
    SamplerSettings() { type = rtStateTexture; }

    bool samplerFlag = true;     // never read
    uint32_t minFiltering = tfPoint;
    uint32_t maxFiltering = tfPoint;  // the magnification filter
    uint32_t wrapHorizontal = twClampToEdge;
    uint32_t wrapVertical = twClampToEdge;
    double borderColor[4] = {1.0, 1.0, 1.0, 1.0};  // decides whether the border colour is sent again
    int32_t maxAnisotropy = 1;   // limited by the device
};

} // namespace VeltraRender
