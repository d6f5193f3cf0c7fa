#pragma once
// A texture sampler: filters, wrapping, border colour and anisotropy, on one sampler unit.

#include "DX9State.h"

#include <VeltraRender/StateSettings.h>

class DX9StateTexture : public DX9State<VeltraRender::IStateTexture, VeltraRender::SamplerSettings, DX9StateTexture> {
public:
    DX9StateTexture() = default;
    virtual ~DX9StateTexture() = default;

    DX9StateTexture(const DX9StateTexture&) = delete;
    DX9StateTexture& operator=(const DX9StateTexture&) = delete;

    static bool SameSettings(const VeltraRender::SamplerSettings& a, const VeltraRender::SamplerSettings& b);
    void Apply(const RenderAccess& render, const VeltraRender::SamplerSettings* previous, uint32_t hardwareUnit);
};
