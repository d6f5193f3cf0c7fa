#pragma once
// The stencil test: enable, masks, reference, function and the three operations.

#include "DX9State.h"

#include <VeltraRender/StateSettings.h>

class DX9StateStencil : public DX9State<VeltraRender::IStateStencil, VeltraRender::StencilSettings, DX9StateStencil> {
public:
    DX9StateStencil() = default;
    virtual ~DX9StateStencil() = default;

    DX9StateStencil(const DX9StateStencil&) = delete;
    DX9StateStencil& operator=(const DX9StateStencil&) = delete;

    static bool SameSettings(const VeltraRender::StencilSettings& a, const VeltraRender::StencilSettings& b);
    void Apply(const RenderAccess& render, const VeltraRender::StencilSettings* previous, uint32_t hardwareUnit);
};
