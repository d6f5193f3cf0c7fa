// The blend modes as blend factors on the frame's premultiplied colour. Alpha always
// accumulates as in "over", so a layer covers what is under it by its coverage.
//   over      source + destination * (1 - source alpha)   (premultiplied over)
//   add       source + destination
//   multiply  destination * source, with the source faded towards white by its
//             coverage (the composite program does that), so opacity still works
//   screen    source + destination * (1 - source)
#pragma once

#include "scene/Scene.h"

#include <VeltraRender/StateSettings.h>

struct BlendFactors {
    bool enabled = false;
    uint32_t sourceColour = VeltraRender::bfOne;
    uint32_t destinationColour = VeltraRender::bfZero;
    uint32_t sourceAlpha = VeltraRender::bfOne;
    uint32_t destinationAlpha = VeltraRender::bfOneMinusSrcAlpha;
};

inline BlendFactors FactorsOf(BlendMode mode)
{
    using namespace VeltraRender;
    switch (mode) {
    case BlendMode::Replace:
        return {false, bfOne, bfZero, bfOne, bfZero};
    case BlendMode::Over:
        return {true, bfOne, bfOneMinusSrcAlpha, bfOne, bfOneMinusSrcAlpha};
    case BlendMode::Add:
        return {true, bfOne, bfOne, bfOne, bfOneMinusSrcAlpha};
    case BlendMode::Multiply:
        return {true, bfDstColor, bfZero, bfOne, bfOneMinusSrcAlpha};
    case BlendMode::Screen:
        return {true, bfOne, bfOneMinusSrcColor, bfOne, bfOneMinusSrcAlpha};
    }
    return {};
}

const BlendMode AllBlendModes[] = {BlendMode::Replace, BlendMode::Over, BlendMode::Add, BlendMode::Multiply,
                                   BlendMode::Screen};
