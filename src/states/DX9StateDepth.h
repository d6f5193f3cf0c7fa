#pragma once
// Depth test, depth write, depth bias and the depth function.

#include "DX9State.h"

#include <VeltraRender/StateSettings.h>

class DX9StateDepth : public DX9State<VeltraRender::IStateDepth, VeltraRender::DepthSettings, DX9StateDepth> {
public:
    DX9StateDepth() = default;
    virtual ~DX9StateDepth() = default;

    DX9StateDepth(const DX9StateDepth&) = delete;
    DX9StateDepth& operator=(const DX9StateDepth&) = delete;

    static bool SameSettings(const VeltraRender::DepthSettings& a, const VeltraRender::DepthSettings& b);
    void Apply(const RenderAccess& render, const VeltraRender::DepthSettings* previous, uint32_t hardwareUnit);
};
