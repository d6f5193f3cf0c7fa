#pragma once
// Settings the host passes to IRender::Initialize and reads back with
// GetRenderSettings. Shared with the host byte for byte: 40 bytes, natural alignment.

#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace VeltraRender {

struct RenderSettings {
    HWND window = nullptr;          // host window that DisplayBuffer presents into; may be null
    int32_t width = 0;              // display swap chain and projection size in pixels
    int32_t height = 0;
    // Projection aspect = width * pixelAspect / height, kept and given back by
    // GetRenderSettings. The projection widens its view by the same aspect as it widens the
    // quad, so the aspect cancels out: the default quad, and whatever a shader draws
    // through ModelViewProjection, lands on the same pixels for every value (0, not
    // finite or negative is taken as 1). A host with non-square pixels scales its own
    // geometry.
    double pixelAspect = 0.0;
    // The two flags are bytes, 0 or non-zero, as the host's record holds them: any
    // non-zero value asks for the feature.
    uint8_t enableDepthBuffer = 1;  // read only by the Initialize that creates the shared device
    uint8_t reserved1[7] = {};
    uint8_t enableStereo = 0;       // present this render in NVIDIA stereo when available
    uint8_t reserved2[7] = {};
};

static_assert(sizeof(RenderSettings) == 40, "RenderSettings is 40 bytes");
static_assert(offsetof(RenderSettings, width) == 8, "RenderSettings layout");
static_assert(offsetof(RenderSettings, height) == 12, "RenderSettings layout");
static_assert(offsetof(RenderSettings, pixelAspect) == 16, "RenderSettings layout");
static_assert(offsetof(RenderSettings, enableDepthBuffer) == 24, "RenderSettings layout");
static_assert(offsetof(RenderSettings, enableStereo) == 32, "RenderSettings layout");

} // namespace VeltraRender
