#pragma once
// Process-wide description of the adapter, copied out by IRender::GetRenderInfo.
// Shared with the host byte for byte: 800 bytes of UTF-16 text fields and flags.

#include <cstddef>
#include <cstdint>

namespace VeltraRender {

// Each text field holds at most 64 characters and a terminating NUL.
const size_t RenderInfoTextLength = 65;

struct RenderInfo {
    wchar_t name[RenderInfoTextLength];          // "RenderDX9"
    wchar_t reserved1[RenderInfoTextLength];     // never written
    wchar_t reserved2[RenderInfoTextLength];     // written as the empty string
    wchar_t vendor[RenderInfoTextLength];        // "NVidia", "AMD" or "Intel"
    wchar_t description[RenderInfoTextLength];   // adapter description
    wchar_t driverVersion[RenderInfoTextLength]; // "a.b.c.d"
    uint8_t reserved3[16];
    bool stereoAvailable;
    bool stereoEnabled;                          // available and enabled in the driver
    bool stereoReady;                            // set when the shared device is created
    uint8_t reserved4;
};

static_assert(sizeof(wchar_t) == 2, "RenderInfo text is UTF-16");
static_assert(sizeof(RenderInfo) == 800, "RenderInfo is 800 bytes");
static_assert(offsetof(RenderInfo, reserved1) == 130, "RenderInfo layout");
static_assert(offsetof(RenderInfo, reserved2) == 260, "RenderInfo layout");
static_assert(offsetof(RenderInfo, vendor) == 390, "RenderInfo layout");
static_assert(offsetof(RenderInfo, description) == 520, "RenderInfo layout");
static_assert(offsetof(RenderInfo, driverVersion) == 650, "RenderInfo layout");
static_assert(offsetof(RenderInfo, reserved3) == 780, "RenderInfo layout");
static_assert(offsetof(RenderInfo, stereoAvailable) == 796, "RenderInfo layout");
static_assert(offsetof(RenderInfo, stereoEnabled) == 797, "RenderInfo layout");
static_assert(offsetof(RenderInfo, stereoReady) == 798, "RenderInfo layout");

} // namespace VeltraRender
