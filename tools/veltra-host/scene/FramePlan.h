// A scene turned into the work of one frame, the same for every way of drawing it
// (through the plug-in, or as plain Direct3D 9 calls in the benchmark): the source
// textures, the intermediate targets of effects, the programs compiled by the host's
// Cg with the registers and units they use, and the passes in drawing order.
//
// A layer with an effect takes two passes: the effect draws the layer's source into
// an intermediate texture of the layer's size, which a composite pass then puts onto
// the frame. A layer without one takes only the composite pass. The frame holds
// premultiplied colour: the composite premultiplies, and each blend mode is a pair
// of blend factors on it (see BlendTable.h).
#pragma once

#include "scene/CgCompiler.h"
#include "scene/Image.h"
#include "scene/Scene.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// A source's pixels. Live textures (image files: footage, in an editor) are uploaded
// again every frame; generated ones once.
struct PlanTexture {
    Image image;
    bool live = false;
};

struct TextureRef {
    bool intermediate = false;  // an effect's output rather than a source
    int index = 0;
};

struct SamplerBinding {
    int unit = 0;
    TextureRef texture;
};

struct PassUniform {
    std::string name;
    std::vector<float> values;  // replaced by the frame's time for the `time` uniform
    int firstRegister = 0;
    int registers = 1;
    bool isTime = false;
};

struct Pass {
    int target = -1;            // -1 the frame, else an intermediate
    int program = 0;
    std::vector<SamplerBinding> samplers;
    PixelRect rect;             // in the target
    int targetWidth = 0, targetHeight = 0;
    BlendMode blend = BlendMode::Over;
    std::vector<PassUniform> uniforms;
};

struct PlanProgram {
    std::string label;          // for messages: "composite" or where the effect is named
    std::string pixelSource;
    CgProgram pixel;
};

struct FramePlan {
    std::shared_ptr<CgCompiler> cg;          // first: its programs go before it does
    int width = 0, height = 0;
    std::vector<PlanTexture> textures;
    std::vector<PixelRect> intermediates;   // sizes (x and y are 0)
    std::string vertexSource;
    CgProgram vertex;
    std::vector<PlanProgram> programs;       // [0] is the composite
    std::vector<Pass> passes;                // effect passes first, then the frame's in layer order
    int samplerUnits = 1;                    // units any pass samples from
};

// Reads images, generates patterns and compiles effects: a SceneError for any
// mistake found on the way (an unreadable image, an effect that does not compile,
// with Cg's listing, a uniform the effect does not have).
FramePlan BuildFramePlan(const Scene& scene, int width, int height, std::shared_ptr<CgCompiler> cg);

// The pass's uniforms with `time` filled in.
std::vector<PassUniform> UniformsAt(const Pass& pass, double time);

// Corners of `rect` in clip space (x, y, z per corner: top left, top right, bottom
// right, bottom left), shifted by half a pixel so that texel centres meet pixel
// centres as Direct3D 9 rasterises.
std::array<float, 12> ClipSpaceCorners(const PixelRect& rect, int targetWidth, int targetHeight);
// Texture coordinates of the corners, and the two triangles over them.
extern const float CornerTexCoords[8];
extern const uint32_t CornerIndices[6];
