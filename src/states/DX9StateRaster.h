#pragma once
// Fill mode, culling by winding, multisampling.

#include "DX9State.h"

#include <VeltraRender/StateSettings.h>

class DX9StateRaster : public DX9State<VeltraRender::IStateRaster, VeltraRender::RasterSettings, DX9StateRaster> {
public:
    DX9StateRaster() = default;
    virtual ~DX9StateRaster() = default;

    DX9StateRaster(const DX9StateRaster&) = delete;
    DX9StateRaster& operator=(const DX9StateRaster&) = delete;

    static bool SameSettings(const VeltraRender::RasterSettings& a, const VeltraRender::RasterSettings& b);
    void Apply(const RenderAccess& render, const VeltraRender::RasterSettings* previous, uint32_t hardwareUnit);
};
