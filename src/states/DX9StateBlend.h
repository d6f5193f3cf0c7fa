#pragma once
// Blending: D3DRS_ALPHABLENDENABLE with separate alpha, the two equations, four factors and the constant blend colour.

#include "DX9State.h"

#include <VeltraRender/StateSettings.h>

class DX9StateBlend : public DX9State<VeltraRender::IStateBlend, VeltraRender::BlendSettings, DX9StateBlend> {
public:
    DX9StateBlend() = default;
    virtual ~DX9StateBlend() = default;

    DX9StateBlend(const DX9StateBlend&) = delete;
    DX9StateBlend& operator=(const DX9StateBlend&) = delete;

    static bool SameSettings(const VeltraRender::BlendSettings& a, const VeltraRender::BlendSettings& b);
    void Apply(const RenderAccess& render, const VeltraRender::BlendSettings* previous, uint32_t hardwareUnit);
};
